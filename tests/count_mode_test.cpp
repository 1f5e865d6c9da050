// --count end to end: however the run ends (a reader that closes the pipe,
// memory that runs out inside GMP, a stop signal while the counts are made),
// it ends with its own status and message and leaves no temporary file, also
// where the file system has no anonymous files; and the JSON it writes is
// valid whatever the command line holds.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "program_runs.hpp"

namespace pellimor {
namespace {

using testing::Finished;
using testing::Launch;
using testing::read_file;

enum class Ending { CLOSED_PIPE, OUT_OF_MEMORY, STOPPED };

struct CountEnding {
    Ending ending;
    bool anonymous_files;
};

class CountMode : public testing::ProgramRuns {
  protected:
    // The temporary files left in the folder.
    std::vector<std::string> temporary_files() {
        std::vector<std::string> names = files_written();
        std::erase_if(names, [](const std::string& name) { return !name.ends_with(".tmp"); });
        return names;
    }
};

class CountEnds : public CountMode, public ::testing::WithParamInterface<CountEnding> {};

TEST_P(CountEnds, WithItsOwnStatusAndNoTemporaryFile) {
    const auto [ending, anonymous_files] = GetParam();
    Launch launch;
    launch.without_anonymous_files = !anonymous_files;
    int pipe_fds[2] = {-1, -1};
    Finished f;
    switch (ending) {
        case Ending::CLOSED_PIPE: {
            ASSERT_EQ(::pipe(pipe_fds), 0);
            ::close(pipe_fds[0]);
            launch.stdout_fd = pipe_fds[1];
            f = wait(start({"--count", "--json", "c.json", "20"}, "run", launch));
            ::close(pipe_fds[1]);
            EXPECT_EQ(f.status, 1) << f.err;
            EXPECT_NE(f.err.find("writing the table to standard output failed: Broken pipe"),
                      std::string::npos)
                << f.err;
            // The JSON is written all the same.
            EXPECT_EQ(nlohmann::json::parse(read_file(dir_ / "c.json"))["rows"].size(), 20u);
            break;
        }
        case Ending::OUT_OF_MEMORY: {
#ifdef PELLIMOR_SANITIZE
            GTEST_SKIP() << "the sanitizer build ignores the address-space limit";
#endif
            // GMP's exact integers up to 256 run out of it.
            launch.address_space_limit = rlim_t{28} << 20;
            f = wait(start({"--count", "--json", "c.json", "256"}, "run", launch));
            EXPECT_EQ(f.status, 1) << f.err;
            EXPECT_EQ(f.err,
                      "pellimor: not enough memory for the counts up to n_vars = 256; choose a "
                      "smaller n_vars\n");
            EXPECT_EQ(files_written(), std::vector<std::string>{});
            break;
        }
        case Ending::STOPPED: {
            // The counts by edges up to 100 take minutes.
            const pid_t pid =
                start({"--count", "--edges", "--json", "c.json", "100"}, "run", launch);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            if (!anonymous_files) {
                ASSERT_EQ(temporary_files().size(), 1u) << "the JSON has no named temporary file";
            }
            ASSERT_EQ(::kill(pid, SIGINT), 0);
            f = wait(pid, "run", std::chrono::seconds(3));
            EXPECT_EQ(f.status, 128 + SIGINT) << f.err;
            EXPECT_EQ(files_written(), std::vector<std::string>{});
            break;
        }
    }
    ASSERT_NE(f.status, testing::launch_failed) << "the run could not be set up";
    EXPECT_EQ(temporary_files(), std::vector<std::string>{});
}

const CountEnding count_endings[] = {
    {Ending::CLOSED_PIPE, true},    {Ending::CLOSED_PIPE, false}, {Ending::OUT_OF_MEMORY, true},
    {Ending::OUT_OF_MEMORY, false}, {Ending::STOPPED, true},      {Ending::STOPPED, false},
};

std::string ending_name(const ::testing::TestParamInfo<CountEnding>& info) {
    const char* names[] = {"ClosedPipe", "OutOfMemory", "Stopped"};
    return std::string(names[static_cast<int>(info.param.ending)]) +
           (info.param.anonymous_files ? "" : "WithoutAnonymousFiles");
}

INSTANTIATE_TEST_SUITE_P(CountMode, CountEnds, ::testing::ValuesIn(count_endings), ending_name);

// A file name that is not UTF-8 goes into the JSON's command line replaced,
// as in the sampling modes, instead of failing the run.
TEST_F(CountMode, JsonOfACommandLineThatIsNotUtf8) {
    const Finished f = run({"--count", "--json", "c\xff.json", "4"});
    EXPECT_EQ(f.status, 0) << f.err;
    const auto json = nlohmann::json::parse(read_file(dir_ / "c\xff.json"));
    EXPECT_NE(json["command_line"].get<std::string>().find("c\xef\xbf\xbd.json"),
              std::string::npos);
    EXPECT_EQ(json["rows"].size(), 4u);
}

}  // namespace
}  // namespace pellimor
