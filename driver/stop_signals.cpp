#include "driver/stop_signals.hpp"

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace pellimor {

namespace {

std::atomic<int> received{0};
static_assert(std::atomic<int>::is_always_lock_free, "read and written in signal handlers");

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
    const int saved_errno = errno;
    int none = 0;
    received.compare_exchange_strong(none, signal_number);
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

}  // namespace

void install_stop_signals() {
    main_thread = pthread_self();
    handle(SIGINT, remember_signal);
    handle(SIGTERM, remember_signal);
    handle(SIGHUP, remember_signal);
    handle(SIGALRM, interrupt_again);
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
}

int stop_signal() {
    return received.load(std::memory_order_relaxed);
}

int write_all(int fd, std::string_view text) {
    std::size_t written = 0;
    return write_all(fd, text, &written);
}

int write_all(int fd, std::string_view text, std::size_t* total) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written > 0) {
            *total += static_cast<std::size_t>(written);
            text.remove_prefix(static_cast<std::size_t>(written));
            if (!text.empty() && stop_signal() != 0) {
                return EINTR;
            }
        } else if (written == 0) {
            return EIO;  // a write of more than nothing that wrote nothing
        } else if (errno != EINTR || stop_signal() != 0) {
            return errno;
        }
    }
    return 0;
}

int write_through(int fd, std::string_view text, int patience_ms) {
    auto last_progress = std::chrono::steady_clock::now();
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written > 0) {
            text.remove_prefix(static_cast<std::size_t>(written));
            last_progress = std::chrono::steady_clock::now();
        } else if (written == 0) {
            return EIO;
        } else if (errno != EINTR) {
            return errno;
        } else if (std::chrono::steady_clock::now() - last_progress >
                   std::chrono::milliseconds(patience_ms)) {
            return EINTR;  // the alarm interrupts a blocked write every second
        }
    }
    return 0;
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
    std::_Exit(status);
}

}  // namespace pellimor
