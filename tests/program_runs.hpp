#pragma once

// Test support: the built program run end to end in a temporary folder of
// its own, standard output and error captured in files there.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "text_files.hpp"

namespace pellimor::testing {

struct Finished {
    int status = -1;  // exit status, or 128 + signal when killed by one
    std::string out;
    std::string err;
    long peak_kb = 0;  // the largest resident memory the run had, in KiB
};

// How a run is started, beyond its arguments.
struct Launch {
    std::optional<rlim_t> file_size_limit;      // RLIMIT_FSIZE, bytes
    std::optional<rlim_t> address_space_limit;  // RLIMIT_AS, bytes
    int stdout_fd = -1;                         // else a file "<tag>.out"
    // As on a file system without anonymous files: open() with O_TMPFILE
    // fails with EOPNOTSUPP.
    bool without_anonymous_files = false;
    // Started with these ignored, as nohup or a script's background job is
    // (the stop signals are otherwise at their defaults, however the tests
    // were started).
    std::vector<int> ignored_signals;
    // Only this many CPUs of those the tests may use (sched_setaffinity).
    std::optional<int> cpus;
    // Set in the program's environment, as "NAME=value".
    std::vector<std::string> environment;
};

// Status of a child that could not set up the run as asked.
inline constexpr int launch_failed = 126;

// In the child: makes open() with O_TMPFILE fail with EOPNOTSUPP, by a
// seccomp filter on openat's flags.
inline bool refuse_anonymous_files() {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_openat, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        // The low half of the flags argument.
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])),
        BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, __O_TMPFILE, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EOPNOTSUPP),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

class ProgramRuns : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("pellimor_run_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_suite()->name() + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    pid_t start(const std::vector<std::string>& args, const std::string& tag = "run",
                const Launch& launch = {}) {
        std::vector<std::string> argv_text{PELLIMOR_BINARY};
        argv_text.insert(argv_text.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& arg : argv_text) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        const std::string out = (dir_ / (tag + ".out")).string();
        const std::string err = (dir_ / (tag + ".err")).string();
        const std::string dir = dir_.string();
        // Everything the child needs is made before the fork; the test
        // process has a single thread, so the child may do more than
        // async-signal-safe calls, but it needs no more.
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int in_fd = ::open("/dev/null", O_RDONLY);
            const int out_fd = launch.stdout_fd >= 0
                                   ? launch.stdout_fd
                                   : ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err_fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (in_fd < 0 || out_fd < 0 || err_fd < 0 || ::dup2(in_fd, 0) < 0 ||
                ::dup2(out_fd, 1) < 0 || ::dup2(err_fd, 2) < 0 || ::chdir(dir.c_str()) != 0) {
                ::_exit(launch_failed);
            }
            const auto limit = [](int resource, std::optional<rlim_t> bytes) {
                const rlimit value{*bytes, *bytes};
                return !bytes || ::setrlimit(resource, &value) == 0;
            };
            if (!limit(RLIMIT_FSIZE, launch.file_size_limit) ||
                !limit(RLIMIT_AS, launch.address_space_limit) ||
                (launch.without_anonymous_files && !refuse_anonymous_files())) {
                ::_exit(launch_failed);
            }
            if (launch.cpus) {
                cpu_set_t usable;
                CPU_ZERO(&usable);
                if (::sched_getaffinity(0, sizeof usable, &usable) != 0) {
                    ::_exit(launch_failed);
                }
                cpu_set_t chosen;
                CPU_ZERO(&chosen);
                for (int cpu = 0, kept = 0; cpu < CPU_SETSIZE && kept < *launch.cpus; ++cpu) {
                    if (CPU_ISSET(cpu, &usable)) {
                        CPU_SET(cpu, &chosen);
                        ++kept;
                    }
                }
                if (::sched_setaffinity(0, sizeof chosen, &chosen) != 0) {
                    ::_exit(launch_failed);
                }
            }
            for (const int stop : {SIGINT, SIGTERM, SIGHUP}) {
                ::signal(stop, SIG_DFL);
            }
            for (const int ignored : launch.ignored_signals) {
                ::signal(ignored, SIG_IGN);
            }
            for (const std::string& setting : launch.environment) {
                ::putenv(const_cast<char*>(setting.c_str()));
            }
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        EXPECT_GT(pid, 0) << "cannot start " << PELLIMOR_BINARY;
        return pid;
    }

    // Waits for the run to end, at most `limit`; a run still going then is
    // killed (status -1).
    Finished wait(pid_t pid, const std::string& tag = "run",
                  std::chrono::milliseconds limit = std::chrono::seconds(30)) {
        int raw = 0;
        Finished finished;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        pid_t ended = 0;
        rusage usage{};
        while ((ended = ::wait4(pid, &raw, WNOHANG, &usage)) == 0 &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (ended == 0) {
            ADD_FAILURE() << "the run did not end within " << limit.count() << " ms";
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &raw, 0);
        } else if (ended == pid) {
            finished.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
            finished.peak_kb = usage.ru_maxrss;
        }
        finished.out = read_file(dir_ / (tag + ".out"));
        finished.err = read_file(dir_ / (tag + ".err"));
        return finished;
    }

    Finished run(const std::vector<std::string>& args) { return wait(start(args)); }

    // Files the program left in its folder, besides the captured output.
    std::vector<std::string> files_written() {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
            const std::string name = entry.path().filename();
            if (!name.ends_with(".out") && !name.ends_with(".err")) {
                names.push_back(name);
            }
        }
        return names;
    }

    std::filesystem::path dir_;
};

}  // namespace pellimor::testing
