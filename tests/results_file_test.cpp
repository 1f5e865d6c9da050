#include "driver/results_file.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace pellimor {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void write_file(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class AppendLine : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("pellimor_results_file_test_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_;
};

TEST_F(AppendLine, CreatesThenAppends) {
    const std::string path = dir_ / "r.txt";
    EXPECT_FALSE(append_line(path, "one\n"));
    EXPECT_FALSE(append_line(path, "two\n"));
    EXPECT_EQ(contents(path), "one\ntwo\n");
}

TEST_F(AppendLine, ReportsTheSystemsReason) {
    // A folder where the file should be: cannot be opened for writing.
    fs::create_directory(dir_ / "taken");
    const auto failure = append_line(dir_ / "taken", "line\n");
    ASSERT_TRUE(failure);
    EXPECT_EQ(*failure, "Is a directory");
    EXPECT_EQ(*append_line(dir_ / "missing" / "r.txt", "line\n"), "No such file or directory");
}

TEST_F(AppendLine, StartsOnANewLineWhenTheFileEndsWithoutOne) {
    const std::string path = dir_ / "r.txt";
    write_file(path, "");
    EXPECT_FALSE(append_line(path, "one\n"));
    EXPECT_EQ(contents(path), "one\n");
    write_file(path, "cut off");
    EXPECT_FALSE(append_line(path, "one\n"));
    EXPECT_FALSE(append_line(path, "two\n"));
    EXPECT_EQ(contents(path), "cut off\none\ntwo\n");
}

TEST_F(AppendLine, LineThatDoesNotFitIsCutBackOff) {
    // A file-size limit cuts the write, as a full disk would; in a child, as
    // the limit holds for the whole process.
    const std::string path = dir_ / "r.txt";
    const std::string before(100, 'x');
    write_file(path, before + "\n");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{120, 120};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            ::_exit(2);
        }
        const auto failure = append_line(path, std::string(50, 'y') + "\n");
        ::_exit(failure && *failure == "File too large" ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: not the failure expected, 2: no limit";
    EXPECT_EQ(contents(path), before + "\n");
}

TEST_F(AppendLine, FifosAndDevicesAreRefusedWithoutWaiting) {
    const std::string fifo = dir_ / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    // No reader: opening it to write would wait for one.
    EXPECT_EQ(append_line(fifo, "line\n"), "not a regular file (a FIFO)");
    // A reader that never reads.
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(append_line(fifo, "line\n"), "not a regular file (a FIFO)");
    ::close(reader);
    if (fs::exists("/dev/full")) {
        EXPECT_EQ(append_line("/dev/full", "line\n"), "not a regular file (a character device)");
    }
}

TEST_F(AppendLine, WaitsForTheFilesLock) {
    const std::string path = dir_ / "r.txt";
    write_file(path, "held ");
    const int holder = ::open(path.c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    std::optional<std::string> failure{"not run"};
    std::thread appender([&] { failure = append_line(path, "one\n"); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(::write(holder, "line\n", 5), 5);
    ::close(holder);  // releases the lock
    appender.join();
    EXPECT_FALSE(failure);
    EXPECT_EQ(contents(path), "held line\none\n");
}

}  // namespace
}  // namespace pellimor
