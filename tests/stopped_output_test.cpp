// A stop while the reader of standard output is slow: the reader gets whole
// report lines and records, the samples the summary and the JSON count, and
// the summary itself; a reader that takes nothing at all holds the end of
// the run up for reader_wait_seconds at most, or until a second signal.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "driver/stop_signals.hpp"
#include "program_runs.hpp"

namespace pellimor {
namespace {

using testing::Finished;
using testing::Launch;
using testing::lines_of;
using testing::read_file;

enum class Reader {
    READS_AGAIN,  // a second after the stop
    NEVER_READS,
    NEVER_READS_SECOND_SIGNAL,  // and a second signal comes half a second after the first
};

struct SlowReader {
    bool samples;  // --samples - (records) instead of report lines and --summary
    Reader reader;
};

class StoppedOutput : public testing::ProgramRuns,
                      public ::testing::WithParamInterface<SlowReader> {};

TEST_P(StoppedOutput, ReaderGetsWholeUnitsAndTheEndOfTheRun) {
    const auto [samples, reader] = GetParam();
    const bool reads_again = reader == Reader::READS_AGAIN;
    // A small pipe that fills at once; at n_vars = 40 a record is larger.
    int pipe_fds[2];
    ASSERT_EQ(::pipe2(pipe_fds, O_CLOEXEC), 0);
    ASSERT_GT(::fcntl(pipe_fds[1], F_SETPIPE_SZ, 4096), 0);
    const int capacity = ::fcntl(pipe_fds[1], F_GETPIPE_SZ);
    Launch launch;
    launch.stdout_fd = pipe_fds[1];
    const std::vector<std::string> args =
        samples ? std::vector<std::string>{"--seed",    "1", "--exact", "--json",    "j.json",
                                           "--samples", "-", "40",      "2000000000"}
                : std::vector<std::string>{"--seed", "1",      "--exact", "--summary",
                                           "--json", "j.json", "7",       "2000000000"};
    const pid_t pid = start(args, "run", launch);
    ::close(pipe_fds[1]);
    int queued = 0;
    for (int wait_ms = 0; wait_ms < 10000 && queued < capacity - 300; wait_ms += 10) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_EQ(::ioctl(pipe_fds[0], FIONREAD, &queued), 0);
    }
    ASSERT_GE(queued, capacity - 300) << "the pipe never filled";
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto sent = std::chrono::steady_clock::now();
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    std::string got;
    if (reads_again) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        char buffer[65536];
        for (ssize_t n; (n = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0;) {
            got.append(buffer, static_cast<std::size_t>(n));
        }
    } else if (reader == Reader::NEVER_READS_SECOND_SIGNAL) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        ASSERT_EQ(::kill(pid, SIGTERM), 0);
    }
    const Finished f = wait(pid, "run", std::chrono::seconds(reader_wait_seconds + 3));
    ::close(pipe_fds[0]);
    EXPECT_LT(std::chrono::steady_clock::now() - sent,
              reader == Reader::NEVER_READS_SECOND_SIGNAL
                  ? std::chrono::milliseconds(1000 * reader_wait_seconds)
                  : std::chrono::milliseconds(1000 * reader_wait_seconds + 2000));
    EXPECT_EQ(f.status, 128 + SIGTERM) << f.err;
    const auto json = nlohmann::json::parse(read_file(dir_ / "j.json"));
    EXPECT_EQ(json["complete"], false);
    if (!reads_again) {
        return;  // what the pipe holds may end in the middle of a line
    }
    EXPECT_EQ(f.err.find("failed"), std::string::npos) << f.err;
    ASSERT_TRUE(got.ends_with("\n"));
    if (samples) {
        const auto records = lines_of(got);
        for (const auto& record : records) {
            ASSERT_TRUE(nlohmann::json::accept(record)) << record.substr(0, 200);
        }
        EXPECT_EQ(static_cast<long long>(records.size()), json["samples"].get<long long>());
    } else {
        const auto summary = got.find("\n Summary\n");
        ASSERT_NE(summary, std::string::npos)
            << got.substr(got.size() - std::min<std::size_t>(got.size(), 400));
        for (const auto& line : lines_of(got.substr(0, summary))) {
            EXPECT_TRUE(line.ends_with("classes per DAG) ")) << line;
        }
        EXPECT_NE(got.find(" of 2000000000 (stopped early)\n", summary), std::string::npos);
    }
}

const SlowReader slow_readers[] = {
    {false, Reader::READS_AGAIN},
    {false, Reader::NEVER_READS},
    {false, Reader::NEVER_READS_SECOND_SIGNAL},
    {true, Reader::READS_AGAIN},
    {true, Reader::NEVER_READS},
};

std::string reader_name(const ::testing::TestParamInfo<SlowReader>& info) {
    const char* readers[] = {"ReaderReadsAgain", "ReaderNeverReads", "SecondSignal"};
    return std::string(info.param.samples ? "Records" : "ReportLines") +
           readers[static_cast<int>(info.param.reader)];
}

INSTANTIATE_TEST_SUITE_P(StoppedOutput, StoppedOutput, ::testing::ValuesIn(slow_readers),
                         reader_name);

}  // namespace
}  // namespace pellimor
