#include "driver/stop_signals.hpp"

#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "driver/temporary_files.hpp"

namespace pellimor {

namespace {

std::atomic<int> received{0};
std::atomic<int> stop_count{0};              // stop signals so far
std::atomic<bool> at_once{false};            // end_at_once_on_stop()
std::atomic<std::int64_t> stopped_at_ns{0};  // CLOCK_MONOTONIC at the first
static_assert(std::atomic<int>::is_always_lock_free, "read and written in signal handlers");
static_assert(std::atomic<std::int64_t>::is_always_lock_free,
              "read and written in signal handlers");

// CLOCK_MONOTONIC in nanoseconds (clock_gettime is async-signal-safe).
std::int64_t monotonic_ns() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

pthread_t main_thread;

// The kernel hands a signal to any thread that does not block it, most
// likely a busy worker; only the main thread waits on output, so it is the
// one whose blocked call has to be interrupted.
void interrupt_main_thread(int signal_number) {
    if (!pthread_equal(pthread_self(), main_thread)) {
        pthread_kill(main_thread, signal_number);
    }
}

void remember_signal(int signal_number) {
    if (at_once.load()) {
        remove_temporary_files();
        _exit(128 + signal_number);
    }
    const int saved_errno = errno;
    int none = 0;
    if (received.compare_exchange_strong(none, signal_number)) {
        stopped_at_ns.store(monotonic_ns());
    }
    stop_count.fetch_add(1);
    // A signal that lands just before the main thread blocks (after it
    // looked at the flag) interrupts nothing; the alarm interrupts it again
    // a second later, and every second after that.
    alarm(1);
    interrupt_main_thread(signal_number);
    errno = saved_errno;
}

void interrupt_again(int signal_number) {
    const int saved_errno = errno;
    alarm(1);
    interrupt_main_thread(signal_number);
    errno = saved_errno;
}

void handle(int signal_number, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: blocked calls return EINTR
    sigaction(signal_number, &action, nullptr);
}

// A stop signal that whoever started the process ignores stays ignored:
// nohup ignores SIGHUP, and a shell script starts its background jobs with
// SIGINT ignored, so that a hangup or the terminal's Ctrl-C leaves them be.
void handle_unless_ignored(int signal_number) {
    struct sigaction current {};
    if (sigaction(signal_number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) {
        return;
    }
    handle(signal_number, remember_signal);
}

}  // namespace

void install_stop_signals() {
    main_thread = pthread_self();
    handle_unless_ignored(SIGINT);
    handle_unless_ignored(SIGTERM);
    handle_unless_ignored(SIGHUP);
    handle(SIGALRM, interrupt_again);
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
}

void end_at_once_on_stop(bool on) {
    at_once.store(on);
}

int stop_signal() {
    return received.load(std::memory_order_relaxed);
}

int write_all(int fd, std::string_view text) {
    // The latest of: this write began, the reader last took data.
    std::int64_t waiting_since = monotonic_ns();
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written > 0) {
            text.remove_prefix(static_cast<std::size_t>(written));
            waiting_since = monotonic_ns();
        } else if (written == 0) {
            return EIO;  // a write of more than nothing that wrote nothing
        } else if (errno != EINTR) {
            return errno;
        } else if (stop_signal() != 0) {
            // After a stop the alarm interrupts a blocked write every
            // second, so this is looked at while the reader takes nothing.
            const std::int64_t since = std::max(waiting_since, stopped_at_ns.load());
            if (stop_count.load() > 1 ||
                monotonic_ns() - since >= std::int64_t{reader_wait_seconds} * 1000000000) {
                return reader_stalled;
            }
        }
    }
    return 0;
}

std::string write_failure_text(int error) {
    if (error == reader_stalled) {
        return "the reader took nothing for " + std::to_string(reader_wait_seconds) +
               " s after the stop";
    }
    return std::strerror(error);
}

void end_run_now(int status) {
    // Safe to leave without joining the workers or running destructors:
    // every report line was written by the main thread before it got here,
    // and each one reached the results file whole or was cut back off it
    // under the file's lock, so nothing a worker still holds is owed to
    // anyone. Joining could take seconds, as a worker setting up a large
    // graph does not look at the stop flag until the setup is done.
    std::fflush(stdout);
    std::fflush(stderr);
    remove_temporary_files();
    std::_Exit(status);
}

}  // namespace pellimor
