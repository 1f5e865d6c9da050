// The command line end to end: the built program run in a temporary folder.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "driver/command_line.hpp"
#include "driver/options_request.hpp"
#include "driver/run_outputs.hpp"
#include "driver/sample_loop.hpp"
#include "driver/stop_signals.hpp"
#include "program_runs.hpp"
#include "text_files.hpp"

namespace pellimor {
namespace {

namespace fs = std::filesystem;

using testing::lines_of;
using testing::read_file;

// The report line with its hours field blanked, for comparing runs.
std::string without_hours(const std::string& line) {
    const auto in = line.find(" in ");
    const auto hours = line.find(" hours ", in);
    if (in == std::string::npos || hours == std::string::npos) {
        return line;
    }
    return line.substr(0, in) + " in H" + line.substr(hours);
}

std::vector<std::string> without_hours(const std::vector<std::string>& lines) {
    std::vector<std::string> result;
    for (const auto& line : lines) {
        result.push_back(without_hours(line));
    }
    return result;
}

// The report line's 21 fields, or nothing when the line has another shape.
struct ReportFields {
    int counts[8];
    double values[13];
};
std::optional<ReportFields> parse_report_line(const std::string& line) {
    ReportFields f{};
    int consumed = -1;
    const int converted = std::sscanf(
        line.c_str(),
        " %d / %d, %d / %d, %d / %d, %d / %d = %lf, %lf, %lf, %lf in %lf hours "
        "(%lf + %lf + %lf + %lf + %lf + %lf + %lf = %lf)%n",
        &f.counts[0], &f.counts[1], &f.counts[2], &f.counts[3], &f.counts[4], &f.counts[5],
        &f.counts[6], &f.counts[7], &f.values[0], &f.values[1], &f.values[2], &f.values[3],
        &f.values[4], &f.values[5], &f.values[6], &f.values[7], &f.values[8], &f.values[9],
        &f.values[10], &f.values[11], &f.values[12], &consumed);
    if (converted != 21 || line.rfind(" ", 0) != 0 || consumed < 0 ||
        line.substr(static_cast<std::size_t>(consumed)) != " ") {
        return std::nullopt;
    }
    return f;
}

bool is_report_line(const std::string& line) {
    return parse_report_line(line).has_value();
}

using testing::Finished;
using testing::Launch;

// Runs the program in its own temporary folder, standard output and error
// captured in files there.
class Cli : public testing::ProgramRuns {
  protected:
    fs::path results_path(int n_vars) const {
        return dir_ / ("pellimor_" + std::to_string(n_vars) + ".txt");
    }

    std::vector<std::string> results(int n_vars) {
        return lines_of(read_file(results_path(n_vars)));
    }
};

constexpr const char* usage = "\n pellimor n_vars n_its n_samples \n";

TEST_F(Cli, WrongArgumentCountIsAUsageError) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {"6", "100"}, {"6", "100", "100", "100"}, {"--seed", "1", "6"}}) {
        const Finished f = run(args);
        EXPECT_EQ(f.status, 2);
        EXPECT_EQ(f.out, "");
        EXPECT_TRUE(f.err.ends_with(usage)) << f.err;
    }
    EXPECT_TRUE(files_written().empty());
}

TEST_F(Cli, BadArgumentsNameTheArgument) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"abc", "100", "100"}, "n_vars"},
        {{"0", "100", "100"}, "n_vars"},
        {{"-3", "100", "100"}, "n_vars"},
        {{"6", "12x", "100"}, "n_its"},
        {{"6", "", "100"}, "n_its"},
        {{"6", "-1", "100"}, "n_its"},
        {{"6", "100", "99999999999"}, "n_samples"},
        {{"--seed", "x", "6", "1", "1"}, "--seed"},
        {{"--threads", "0", "6", "1", "1"}, "--threads"},
        {{"--bogus", "6", "1", "1"}, "--bogus"},
        {{"--seed", "1", "6", "1", "1", "--seed=2"}, "--seed given more than once"},
        {{"--", "--5", "1", "1"}, "n_vars must be a whole number from 1 to 2147483647, got '--5'"},
    };
    for (const auto& [args, name] : cases) {
        const Finished f = run(args);
        EXPECT_EQ(f.status, 2) << name;
        EXPECT_EQ(f.out, "");
        EXPECT_EQ(f.err.rfind("pellimor: ", 0), 0u) << f.err;
        EXPECT_NE(f.err.find(name), std::string::npos) << f.err;
        EXPECT_TRUE(f.err.ends_with(usage)) << f.err;
    }
    EXPECT_TRUE(files_written().empty());
}

TEST_F(Cli, HelpGoesToStandardOutput) {
    for (const char* help : {"--help", "-h"}) {
        const Finished f = run({help});
        EXPECT_EQ(f.status, 0) << help;
        EXPECT_EQ(f.out.rfind(usage, 0), 0u) << help;
        EXPECT_NE(f.out.find("--threads"), std::string::npos) << help;
        EXPECT_EQ(f.err, "") << help;
    }
}

TEST_F(Cli, FewerThanHundredSamplesReportNothing) {
    const Finished f = run({"--seed", "1", "6", "50", "99"});
    EXPECT_EQ(f.status, 0);
    EXPECT_EQ(f.out, "");
    EXPECT_EQ(f.err, "");
    EXPECT_TRUE(files_written().empty());
}

TEST_F(Cli, RunWithoutSeedShowsItsSeedSoItCanBeRepeated) {
    const Finished unseeded = run({"7", "20000", "200"});
    ASSERT_EQ(unseeded.status, 0);
    unsigned long long seed = 0;
    unsigned long long again = 1;
    int consumed = -1;
    ASSERT_EQ(
        std::sscanf(unseeded.err.c_str(), "pellimor: run seed %llu (repeat with --seed %llu)%n",
                    &seed, &again, &consumed),
        2)
        << unseeded.err;
    EXPECT_EQ(seed, again);
    EXPECT_EQ(unseeded.err.substr(static_cast<std::size_t>(consumed)), "\n");
    // With that seed: the same lines, and no seed line.
    const Finished seeded = run({"--seed", std::to_string(seed), "7", "20000", "200"});
    EXPECT_EQ(seeded.status, 0);
    EXPECT_EQ(seeded.err, "");
    ASSERT_EQ(lines_of(seeded.out).size(), 2u);
    EXPECT_EQ(without_hours(lines_of(seeded.out)), without_hours(lines_of(unseeded.out)));
}

TEST_F(Cli, ReportsEveryHundredSamplesOnScreenAndInTheFile) {
    const Finished first = run({"--seed", "5", "6", "20000", "250"});
    EXPECT_EQ(first.status, 0);
    EXPECT_EQ(first.err, "");
    const auto screen = lines_of(first.out);
    ASSERT_EQ(screen.size(), 2u);
    EXPECT_EQ(screen[0].rfind(" ", 0), 0u);
    EXPECT_NE(screen[0].find(" / 100, "), std::string::npos);
    EXPECT_NE(screen[1].find(" / 200, "), std::string::npos);
    for (const auto& line : screen) {
        EXPECT_TRUE(is_report_line(line)) << line;
    }
    // The file holds the same lines, but for the hours field.
    auto file = results(6);
    ASSERT_EQ(file.size(), 2u);
    EXPECT_EQ(without_hours(file), without_hours(screen));

    // A second run appends; another n_vars writes another file.
    EXPECT_EQ(run({"6", "20000", "250"}).status, 0);
    EXPECT_EQ(results(6).size(), 4u);
    EXPECT_EQ(run({"5", "20000", "100"}).status, 0);
    EXPECT_EQ(results(5).size(), 1u);
    EXPECT_EQ(results(6).size(), 4u);
}

TEST_F(Cli, SameSeedGivesSameLines) {
    const Finished a = run({"--seed", "42", "7", "500", "200"});
    const Finished b = run({"7", "500", "200", "--seed=42"});
    EXPECT_EQ(a.status, 0);
    ASSERT_EQ(lines_of(a.out).size(), 2u);
    EXPECT_EQ(without_hours(lines_of(a.out)), without_hours(lines_of(b.out)));
    const Finished c = run({"--seed", "43", "7", "500", "200"});
    EXPECT_NE(without_hours(lines_of(a.out)), without_hours(lines_of(c.out)));
}

TEST_F(Cli, SamplesStartedTogetherAreNotCopies) {
    // 100 samples that all start within well under a second: copies would
    // make every count 0 or 100.
    const Finished f = run({"6", "300", "100"});
    ASSERT_EQ(f.status, 0);
    const auto fields = parse_report_line(lines_of(f.out).at(0));
    ASSERT_TRUE(fields) << f.out;
    for (int count : {fields->counts[0], fields->counts[2]}) {
        EXPECT_GT(count, 0) << f.out;
        EXPECT_LT(count, 100) << f.out;
    }
    // Two runs without --seed differ even when started together.
    const pid_t one = start({"6", "300", "100"}, "one");
    const pid_t two = start({"6", "300", "100"}, "two");
    const Finished f1 = wait(one, "one");
    const Finished f2 = wait(two, "two");
    EXPECT_NE(without_hours(f1.out), without_hours(f2.out));
}

TEST_F(Cli, UnwritableResultsFileIsReportedAndFailsTheRun) {
    fs::create_directory(dir_ / "pellimor_6.txt");
    const Finished f = run({"6", "100", "300"});
    EXPECT_EQ(f.status, 1);
    EXPECT_EQ(lines_of(f.out).size(), 3u);
    EXPECT_NE(f.err.find("pellimor_6.txt"), std::string::npos) << f.err;
    EXPECT_NE(f.err.find("Is a directory"), std::string::npos) << f.err;
    EXPECT_NE(f.err.find("3 of 3 report lines were not saved"), std::string::npos) << f.err;
}

TEST_F(Cli, FileSizeLimitLeavesOnlyWholeLines) {
    // A file-size limit cuts a write short as a full disk does.
    const std::vector<std::string> args{"--seed", "4", "6", "20000", "500"};
    ASSERT_EQ(run(args).status, 0);
    const auto lines = results(6);
    ASSERT_EQ(lines.size(), 5u);
    fs::remove(results_path(6));
    // Room for two lines and half of the third; the hours field has the
    // same width in every run.
    const rlim_t room = lines[0].size() + 1 + lines[1].size() + 1 + lines[2].size() / 2;
    // Standard output into a file would be cut too; its few lines of
    // standard error fit.
    Launch limited;
    limited.file_size_limit = room;
    limited.stdout_fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    const Finished cut = wait(start(args, "cut", limited), "cut");
    ::close(limited.stdout_fd);
    EXPECT_EQ(cut.status, 1);
    EXPECT_NE(cut.err.find("warning: cannot append to results file 'pellimor_6.txt': File too "
                           "large"),
              std::string::npos)
        << cut.err;
    EXPECT_NE(cut.err.find("3 of 5 report lines were not saved"), std::string::npos) << cut.err;
    const std::string text = read_file(results_path(6));
    EXPECT_TRUE(text.ends_with(" \n")) << text;
    EXPECT_EQ(without_hours(lines_of(text)),
              without_hours(std::vector<std::string>(lines.begin(), lines.begin() + 2)));

    // Without the limit, the next run appends whole lines.
    EXPECT_EQ(run(args).status, 0);
    const auto after = results(6);
    ASSERT_EQ(after.size(), 7u);
    for (const auto& line : after) {
        EXPECT_TRUE(is_report_line(line)) << line;
    }
}

TEST_F(Cli, LineLeftWithoutItsNewlineIsNotJoinedOnto) {
    // What a writer that was killed mid-line leaves.
    std::ofstream(results_path(6)) << " 12 / 100, 80 / 1";
    EXPECT_EQ(run({"6", "100", "200"}).status, 0);
    const auto lines = results(6);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], " 12 / 100, 80 / 1");
    EXPECT_TRUE(is_report_line(lines[1])) << lines[1];
    EXPECT_TRUE(is_report_line(lines[2])) << lines[2];
}

TEST_F(Cli, RunsContendingForTheFileKeepEveryLineWhole) {
    // Another writer holds the file's lock while it writes a line in two
    // pieces; two runs wait for it and for each other.
    const int holder =
        ::open(results_path(6).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    ASSERT_EQ(::write(holder, "held while ", 11), 11);
    const pid_t a = start({"--seed", "1", "6", "100", "300"}, "a");
    const pid_t b = start({"--seed", "2", "6", "100", "300"}, "b");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(::write(holder, "two runs wait\n", 14), 14);
    ::close(holder);
    const Finished fa = wait(a, "a");
    const Finished fb = wait(b, "b");
    EXPECT_EQ(fa.status, 0);
    EXPECT_EQ(fb.status, 0);
    auto lines = results(6);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], "held while two runs wait");
    // Every line of both runs, whole; each run's in its own order.
    lines.erase(lines.begin());
    auto expected = without_hours(lines_of(fa.out + fb.out));
    auto found = without_hours(lines);
    std::sort(expected.begin(), expected.end());
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, expected);
}

TEST_F(Cli, ResultsFileThatIsNotARegularFileIsRefused) {
    // A FIFO nobody reads: opening it to write would wait for ever.
    ASSERT_EQ(::mkfifo(results_path(6).c_str(), 0644), 0);
    const Finished fifo = wait(start({"6", "100", "100"}), "run", std::chrono::seconds(5));
    EXPECT_EQ(fifo.status, 1);
    EXPECT_EQ(lines_of(fifo.out).size(), 1u);
    EXPECT_NE(fifo.err.find("'pellimor_6.txt': not a regular file (a FIFO)"), std::string::npos)
        << fifo.err;
    if (fs::exists("/dev/full")) {
        fs::create_symlink("/dev/full", results_path(7));
        const Finished device = run({"7", "100", "100"});
        EXPECT_EQ(device.status, 1);
        EXPECT_EQ(lines_of(device.out).size(), 1u);
        EXPECT_NE(device.err.find("warning: cannot append to results file 'pellimor_7.txt'"),
                  std::string::npos)
            << device.err;
    }
}

TEST_F(Cli, GraphTooLargeForMemoryIsAClearFailure) {
    std::vector<std::string> sizes{"2147483647"};
#ifndef PELLIMOR_SANITIZE
    // The sanitizers' allocator aborts instead of failing an allocation.
    sizes.push_back("200000");
#endif
    for (const auto& n_vars : sizes) {
        const Finished f = run({n_vars, "10", "1"});
        EXPECT_EQ(f.status, 1) << n_vars;
        EXPECT_NE(f.err.find("not enough memory"), std::string::npos) << f.err;
        EXPECT_EQ(f.out, "");
    }
}

TEST_F(Cli, MemoryIsCheckedBeforeAllocating) {
#ifdef PELLIMOR_SANITIZE
    GTEST_SKIP() << "the sanitizer build ignores the address-space limit, as its shadow memory "
                    "reserves terabytes of address space";
#else
    // About 0.69 GiB of graphs and class-statistics scratch per worker
    // thread, 0.76 GiB with the thread's stack and heap arena: under a 1 GiB address-space limit
    // one fits and two do not; under 0.3 GiB none does.
    const std::vector<std::pair<rlim_t, std::string>> cases{
        {rlim_t{1} << 30, "; --threads 1 fits in the "},
        {rlim_t{300} << 20, "; not even one worker thread fits in the "},
    };
    for (const auto& [bytes, advice] : cases) {
        Launch limited;
        limited.address_space_limit = bytes;
        const Finished f = wait(start({"--threads", "2", "12000", "10", "10"}, "run", limited));
        EXPECT_EQ(f.status, 1) << f.err;
        EXPECT_EQ(f.out, "");
        EXPECT_EQ(f.err.rfind("pellimor: not enough memory for graphs on n_vars = 12000 vertices "
                              "(about 0.76 GiB per worker thread); choose a smaller n_vars or "
                              "fewer --threads" +
                                  advice,
                              0),
                  0u)
            << f.err;
        EXPECT_TRUE(f.err.ends_with(" GiB free under the address-space limit (ulimit -v)\n"))
            << f.err;
    }
#endif
}

TEST_F(Cli, ThreadCountDoesNotChangeTheLines) {
    const Finished one = run({"--seed", "77", "--threads", "1", "6", "400", "300"});
    ASSERT_EQ(one.status, 0);
    ASSERT_EQ(lines_of(one.out).size(), 3u);
    for (const char* threads : {"2", "3", "7"}) {
        const Finished more = run({"--seed", "77", "--threads", threads, "6", "400", "300"});
        EXPECT_EQ(more.status, 0);
        EXPECT_EQ(without_hours(lines_of(more.out)), without_hours(lines_of(one.out)))
            << threads << " threads";
    }
}

TEST_F(Cli, FullCheckPrintsTheSameLines) {
    const Finished fast = run({"--seed", "3", "7", "1500", "200"});
    const Finished full = run({"--seed", "3", "--full-check", "7", "1500", "200"});
    ASSERT_EQ(fast.status, 0);
    ASSERT_EQ(full.status, 0);
    ASSERT_EQ(lines_of(fast.out).size(), 2u);
    EXPECT_EQ(without_hours(lines_of(full.out)), without_hours(lines_of(fast.out)));
}

// Runs the program under a pseudo-terminal (script), everything it writes to
// the terminal captured in one file.
Finished run_on_terminal(const fs::path& dir, const std::string& args) {
    const std::string command = "cd '" + dir.string() + "' && script -qec '" +
                                std::string(PELLIMOR_BINARY) + " " + args +
                                "' /dev/null < /dev/null > terminal.out 2>&1";
    Finished f;
    f.status = WEXITSTATUS(std::system(command.c_str()));
    f.out = read_file(dir / "terminal.out");
    return f;
}

TEST_F(Cli, ProgressLineOnlyOnATerminal) {
    if (std::system("command -v script > /dev/null") != 0) {
        GTEST_SKIP() << "script (util-linux) is not installed";
    }
    const Finished terminal = run_on_terminal(dir_, "--seed 9 6 20000 300");
    ASSERT_EQ(terminal.status, 0) << terminal.out;
    EXPECT_NE(terminal.out.find("/300 samples, "), std::string::npos) << terminal.out;
    // The terminal shows pieces separated by "return, clear line": progress
    // texts, and report lines (the terminal ends them with \r\n).
    const std::string clear = "\r\033[K";
    std::vector<std::string> pieces;
    for (std::size_t from = 0;;) {
        const auto at = terminal.out.find(clear, from);
        pieces.push_back(terminal.out.substr(from, at - from));
        if (at == std::string::npos) {
            break;
        }
        from = at + clear.size();
    }
    int reports = 0;
    int progress = 0;
    for (const auto& piece : pieces) {
        std::size_t from = 0;
        for (auto end = piece.find("\r\n"); end != std::string::npos;
             from = end + 2, end = piece.find("\r\n", from)) {
            EXPECT_TRUE(is_report_line(piece.substr(from, end - from))) << piece;
            ++reports;
        }
        const std::string rest = piece.substr(from);
        if (!rest.empty()) {
            EXPECT_NE(rest.find("/300 samples, "), std::string::npos) << rest;
            EXPECT_EQ(rest.rfind("seed 9, ", 0), 0u) << rest;
            ++progress;
        }
    }
    EXPECT_EQ(reports, 3) << terminal.out;
    EXPECT_GE(progress, 1) << terminal.out;
    // No progress text is left standing at the end.
    EXPECT_TRUE(terminal.out.ends_with(clear) || terminal.out.ends_with("\r\n")) << terminal.out;

    // Standard error in a file: nothing there.
    const Finished file = run({"--seed", "9", "6", "20000", "300"});
    EXPECT_EQ(file.status, 0);
    EXPECT_EQ(file.err, "");
}

TEST_F(Cli, InterruptLeavesOnlyWholeLines) {
    for (int signal_number : {SIGINT, SIGTERM}) {
        // Report lines every few milliseconds, for far longer than the test.
        const pid_t pid = start({"6", "3000", "2000000000"});
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        const auto sent = std::chrono::steady_clock::now();
        ASSERT_EQ(kill(pid, signal_number), 0);
        const Finished f = wait(pid);
        EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(3));
        EXPECT_EQ(f.status, 128 + signal_number);
        const std::string text = read_file(results_path(6));
        ASSERT_FALSE(text.empty()) << "no line before the signal";
        EXPECT_TRUE(text.ends_with(" \n"));
        for (const auto& line : lines_of(text)) {
            ASSERT_TRUE(is_report_line(line)) << line;
        }
        fs::remove(results_path(6));
    }
}

// The exact method's line: the walk's first 13 fields, then samples / DAGs
// drawn = classes per DAG.
bool is_exact_report_line(const std::string& line) {
    int counts[8];
    double values[5];
    int samples = 0;
    long long dags = 0;
    double ratio = 0;
    int consumed = -1;
    const int converted =
        std::sscanf(line.c_str(),
                    " %d / %d, %d / %d, %d / %d, %d / %d = %lf, %lf, %lf, %lf in %lf hours "
                    "(%d / %lld = %lf classes per DAG)%n",
                    &counts[0], &counts[1], &counts[2], &counts[3], &counts[4], &counts[5],
                    &counts[6], &counts[7], &values[0], &values[1], &values[2], &values[3],
                    &values[4], &samples, &dags, &ratio, &consumed);
    return converted == 16 && consumed >= 0 &&
           line.substr(static_cast<std::size_t>(consumed)) == " " && samples == counts[1] &&
           dags >= samples && std::abs(ratio - static_cast<double>(samples) / dags) < 1e-6;
}

TEST_F(Cli, ExactMethodReportsTheSameLinesForAnyThreadCount) {
    const Finished one = run({"--exact", "--seed", "11", "--threads", "1", "7", "300"});
    ASSERT_EQ(one.status, 0) << one.err;
    const auto lines = lines_of(one.out);
    ASSERT_EQ(lines.size(), 3u);
    for (const auto& line : lines) {
        EXPECT_TRUE(is_exact_report_line(line)) << line;
    }
    EXPECT_EQ(without_hours(lines_of(read_file(dir_ / "pellimor_exact_7.txt"))),
              without_hours(lines));
    for (const char* threads : {"2", "7"}) {
        const Finished more = run({"--exact", "--seed", "11", "--threads", threads, "7", "300"});
        EXPECT_EQ(more.status, 0);
        EXPECT_EQ(without_hours(lines_of(more.out)), without_hours(lines)) << threads;
    }
    // A walk from exact starts reports walk lines to the walk's file.
    const Finished walk = run({"--seed", "11", "--start", "exact", "7", "100", "100"});
    EXPECT_EQ(walk.status, 0) << walk.err;
    ASSERT_EQ(results(7).size(), 1u);
    EXPECT_TRUE(is_report_line(results(7)[0]));
}

TEST_F(Cli, ExactMethodUsageErrors) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--exact", "6"}, "expected 2 arguments"},
        {{"--exact", "6", "100", "100"}, "expected 2 arguments"},
        {{"--exact", "10001", "100"}, "n_vars"},
        {{"--exact", "--full-check", "6", "100"}, "--full-check"},
        {{"--exact", "--start", "exact", "6", "100"}, "--start"},
        {{"--start", "sideways", "6", "100", "100"}, "--start"},
    };
    for (const auto& [args, what] : cases) {
        const Finished f = run(args);
        EXPECT_EQ(f.status, 2) << what;
        EXPECT_NE(f.err.find(what), std::string::npos) << f.err;
        EXPECT_TRUE(f.err.ends_with(args[0] == "--exact" ? "\n pellimor --exact n_vars n_samples \n"
                                                         : usage))
            << f.err;
    }
    EXPECT_TRUE(files_written().empty());
}

// Runs bounded by edges: lines in files of their own, the cost stated first,
// and a run expected to take hours refused with status 2 before it starts.
TEST_F(Cli, EdgeBoundedRunsStateTheirCostAndKeepFilesOfTheirOwn) {
    const Finished exact = run({"--exact", "--seed", "3", "--edges", "24", "12", "100"});
    ASSERT_EQ(exact.status, 0) << exact.err;
    EXPECT_NE(exact.err.find("3.437 DAGs drawn per kept class (exact"), std::string::npos)
        << exact.err;
    EXPECT_EQ(lines_of(read_file(dir_ / "pellimor_exact_12_edges_24.txt")).size(), 1u);
    const Finished walk = run({"--seed", "3", "--max-edges", "12", "--summary", "--json",
                               "bounded.json", "12", "2000", "100"});
    ASSERT_EQ(walk.status, 0) << walk.err;
    EXPECT_NE(walk.out.find("at most 12 edges"), std::string::npos) << walk.out;
    // The exact mean over all classes does not hold under an edge limit.
    EXPECT_TRUE(
        nlohmann::json::parse(read_file(dir_ / "bounded.json"))["counts"]["exact_mean_edges"]
            .is_null());
    EXPECT_NE(walk.out.find("mean edges           walk"), std::string::npos) << walk.out;
    EXPECT_EQ(lines_of(read_file(dir_ / "pellimor_12_max_edges_12.txt")).size(), 1u);

    const Finished hours = run({"--exact", "--seed", "3", "--mean-degree", "2", "300", "1000000"});
    EXPECT_EQ(hours.status, 2);
    EXPECT_NE(hours.err.find("more than an hour"), std::string::npos) << hours.err;
    EXPECT_NE(hours.err.find("--max-edges 300"), std::string::npos) << hours.err;
    EXPECT_FALSE(std::filesystem::exists(dir_ / "pellimor_exact_300_edges_300.txt"));

    // Threads beyond the CPUs take turns: on one CPU, 1024 threads take
    // as long as one.
    Launch one_cpu;
    one_cpu.cpus = 1;
    const Finished crowded = wait(
        start({"--exact", "--seed", "3", "--threads", "1024", "--mean-degree", "2", "200", "100"},
              "run", one_cpu));
    EXPECT_EQ(crowded.status, 2) << crowded.err;
    EXPECT_NE(crowded.err.find("for 100 classes on 1024 threads, which share 1 CPU. That is more "
                               "than an hour"),
              std::string::npos)
        << crowded.err;
}

// A stop that comes while the cost of a run is measured, before the run is
// refused for it, ends the run with the signal's status, not a usage error's.
// (In this process: the signal is then certain to come before the refusal.)
TEST(StoppedPlan, StopBeforeARefusalForCostEndsWithTheSignal) {
    install_stop_signals();
    ASSERT_EQ(std::raise(SIGINT), 0);
    const std::vector<std::string_view> args{"--exact",       "--seed", "3",   "--no-results",
                                             "--mean-degree", "2",      "300", "1000000"};
    const Options options = parse_command_line(args);
    RunOutputs none;
    EXPECT_EQ(run_estimation(options, request_of(options), none, Provenance{},
                             std::chrono::steady_clock::now()),
              128 + SIGINT);
}

// --count: a tab-separated table with a header, one row per n, no results
// file; --edges the long form; --json the same rows.
TEST_F(Cli, CountPrintsTheTablesAndWritesOnlyTheJson) {
    const Finished table = run({"--count", "--json", "counts.json", "5"});
    EXPECT_EQ(table.status, 0) << table.err;
    const auto rows = lines_of(table.out);
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[0],
              "n\tdags\tessential_dags\tessential_graphs\tconnected_essential_graphs\t"
              "connected_essential_dags\tno_lines\tconnected\tconnected_among_no_lines\t"
              "no_lines_among_connected\tclasses_per_dag\tmean_edges\tvariance_edges");
    EXPECT_EQ(rows[4],
              "4\t543\t59\t185\t147\t46\t0.318918918919\t0.794594594595\t"
              "0.779661016949\t0.312925170068\t0.340699815838\t3.40540540541\t"
              "1.08429510592");
    EXPECT_EQ(files_written(), std::vector<std::string>{"counts.json"});
    const auto json = nlohmann::json::parse(read_file(dir_ / "counts.json"));
    EXPECT_EQ(json["rows"].size(), 5u);
    EXPECT_EQ(json["rows"][4]["essential_graphs"], "8782");

    const Finished edges = run({"--count", "--edges", "4"});
    EXPECT_EQ(edges.status, 0) << edges.err;
    const auto long_form = lines_of(edges.out);
    ASSERT_EQ(long_form.size(), 1u + 1 + 2 + 4 + 7);
    EXPECT_EQ(long_form[0], "n\tedges\tclasses");
    EXPECT_EQ(long_form.back(), "4\t6\t1");
    EXPECT_EQ(long_form[long_form.size() - 4], "4\t3\t60");

    for (const auto& [args, what] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--count"}, "expected 1 argument"},
             {{"--count", "5", "100"}, "expected 1 argument"},
             {{"--count", "10001"}, "n_vars"},
             {{"--count", "--edges", "129"}, "--count --edges"},
             {{"--count", "--seed", "3", "5"}, "--seed"},
             {{"--count", "--summary", "5"}, "--summary"},
             {{"--edges", "5", "100", "100"},
              "--edges applies to --exact and --dags (and --edges alone to --count)"},
         }) {
        const Finished f = run(args);
        EXPECT_EQ(f.status, 2) << what;
        EXPECT_NE(f.err.find(what), std::string::npos) << f.err;
        EXPECT_TRUE(f.err.ends_with(args[0] == "--count" ? "\n pellimor --count [--edges] n_vars \n"
                                                         : usage))
            << f.err;
    }
}

TEST_F(Cli, MixingCheckWarnsOnlyWhenTheWalksAreTooShort) {
    struct Case {
        std::vector<std::string> args;
        bool warns;
    };
    for (const Case& c : std::vector<Case>{
             {{"--seed", "1", "40", "100000", "200"}, true},
             {{"--seed", "1", "--start", "exact", "40", "100000", "200"}, false},
             {{"--seed", "1", "6", "20000", "300"}, false},
         }) {
        const Finished f = run(c.args);
        EXPECT_EQ(f.status, 0);
        EXPECT_EQ(f.err.find("likely biased") != std::string::npos, c.warns) << f.err;
        // A trapped walk is caught by the exact share without lines at n = 40.
        EXPECT_EQ(f.err.find("exact 0.2742, z = ") != std::string::npos, c.warns) << f.err;
    }
}

TEST_F(Cli, JsonSummaryHoldsTheRunEvenWhenInterrupted) {
    const Finished f = run({"--summary", "--json", "out.json", "6", "20000", "150"});
    ASSERT_EQ(f.status, 0) << f.err;
    const auto json = nlohmann::json::parse(read_file(dir_ / "out.json"));
    for (const char* key :
         {"method", "start", "n_vars", "n_its", "n_samples", "samples", "seed", "threads",
          "seconds", "complete", "shares", "move_rates", "mixing_check", "counts"}) {
        EXPECT_TRUE(json.contains(key)) << key;
    }
    EXPECT_EQ(json["samples"], 150);
    EXPECT_EQ(json["complete"], true);
    EXPECT_EQ(json["counts"]["essential_graphs"]["exact"], "1067825");
    // The seed drawn for this run is in the summary and the JSON.
    const std::string seed = std::to_string(json["seed"].get<std::uint64_t>());
    EXPECT_NE(f.out.find(seed), std::string::npos) << f.out;

    const pid_t pid = start({"--exact", "--json", "stopped.json", "12", "2000000000"});
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_EQ(kill(pid, SIGINT), 0);
    EXPECT_EQ(wait(pid).status, 130);
    const auto stopped = nlohmann::json::parse(read_file(dir_ / "stopped.json"));
    EXPECT_EQ(stopped["complete"], false);
    EXPECT_EQ(stopped["method"], "exact");
    EXPECT_GT(stopped["samples"].get<long long>(), 0);
}

// --json never destroys: not the results file (a usage error, before any
// sample), not what standard output or a device is; a write error there is
// the run's failure.
TEST_F(Cli, JsonNeverReplacesTheResultsFileOrWhatIsNotAFile) {
    ASSERT_EQ(run({"--seed", "1", "6", "200", "200"}).status, 0);
    const std::string before = read_file(results_path(6));
    fs::create_symlink("pellimor_6.txt", dir_ / "alias.txt");
    for (const char* name : {"pellimor_6.txt", "alias.txt", "./pellimor_6.txt"}) {
        const Finished f = run({"--seed", "2", "--json", name, "6", "200", "200"});
        EXPECT_EQ(f.status, 2) << name;
        EXPECT_NE(f.err.find("names the results file"), std::string::npos) << f.err;
        EXPECT_EQ(f.out, "");
    }
    EXPECT_EQ(read_file(results_path(6)), before);
    EXPECT_TRUE(fs::is_symlink(dir_ / "alias.txt"));

    for (const char* name : {"-", "/dev/stdout"}) {
        const Finished f = run({"--seed", "2", "--no-results", "--json", name, "6", "200", "200"});
        EXPECT_EQ(f.status, 0) << name << f.err;
        const auto brace = f.out.find("\n{");
        ASSERT_NE(brace, std::string::npos) << f.out;
        EXPECT_EQ(lines_of(f.out.substr(0, brace)).size(), 2u);
        EXPECT_EQ(nlohmann::json::parse(f.out.substr(brace))["samples"], 200);
    }
    const Finished full =
        run({"--seed", "2", "--no-results", "--json", "/dev/full", "6", "200", "100"});
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("/dev/full"), std::string::npos) << full.err;
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
    EXPECT_EQ(read_file(results_path(6)), before);
}

// A JSON file that cannot be written is found before the run, which would
// otherwise take for ever; an option is no file name.
TEST_F(Cli, JsonTargetIsCheckedBeforeTheRun) {
    const Finished missing = run({"--json", "nodir/x.json", "6", "20000", "2000000000"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("nodir/x.json"), std::string::npos) << missing.err;
    EXPECT_EQ(missing.out, "");
    const Finished option = run({"--json", "--summary", "6", "200", "100"});
    EXPECT_EQ(option.status, 2);
    EXPECT_NE(option.err.find("--json needs a value"), std::string::npos) << option.err;
    EXPECT_TRUE(files_written().empty());
}

// A reader that goes away (`| head -1`) is a failed standard output, not a
// death by SIGPIPE: sampling stops, the JSON is written, status 1. SIGHUP
// ends a run as SIGTERM does. Neither leaves a temporary file.
TEST_F(Cli, ClosedOutputAndHangupStillWriteTheJson) {
    int pipe_fds[2];
    ASSERT_EQ(::pipe(pipe_fds), 0);
    ::close(pipe_fds[0]);
    Launch closed;
    closed.stdout_fd = pipe_fds[1];
    const Finished f =
        wait(start({"--seed", "1", "--json", "o.json", "6", "2000", "300"}, "run", closed));
    ::close(pipe_fds[1]);
    EXPECT_EQ(f.status, 1) << f.err;
    EXPECT_NE(f.err.find("standard output failed"), std::string::npos) << f.err;
    const auto json = nlohmann::json::parse(read_file(dir_ / "o.json"));
    EXPECT_EQ(json["complete"], false);

    const pid_t pid = start({"--exact", "--json", "h.json", "12", "2000000000"});
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(kill(pid, SIGHUP), 0);
    EXPECT_EQ(wait(pid).status, 128 + SIGHUP);
    EXPECT_EQ(nlohmann::json::parse(read_file(dir_ / "h.json"))["complete"], false);
    auto names = files_written();
    std::erase(names, "pellimor_exact_12.txt");  // when a line was due before the signal
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"h.json", "o.json", "pellimor_6.txt"}));
}

// A stop signal the run was started with ignored (nohup, a script's
// background job) leaves it running; the others still stop it.
TEST_F(Cli, SignalsIgnoredAtStartStayIgnored) {
    Launch immune;
    immune.ignored_signals = {SIGHUP, SIGINT};
    const pid_t pid = start({"--seed", "1", "12", "200", "2000000000"}, "run", immune);
    // The handlers are in place once the first report line is out.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (results(12).empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_EQ(kill(pid, SIGHUP), 0);
    ASSERT_EQ(kill(pid, SIGINT), 0);
    ASSERT_EQ(kill(pid, SIGTERM), 0);
    EXPECT_EQ(wait(pid).status, 128 + SIGTERM);
}

// A stop during the mixing check's reference draws is a stopped run: the
// summary and the JSON must not call it complete.
TEST_F(Cli, StopDuringTheMixingCheckIsNotComplete) {
    const pid_t pid = start(
        {"--seed", "1", "--threads", "1", "--summary", "--json", "o.json", "2000", "1", "100"});
    // The last report line is written just before the reference draws begin.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (results(2000).empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_EQ(kill(pid, SIGINT), 0);
    const Finished f = wait(pid);
    ASSERT_EQ(f.status, 130) << "the reference draws ended before the signal";
    EXPECT_NE(f.out.find("100 of 100 (stopped"), std::string::npos) << f.out;
    const auto json = nlohmann::json::parse(read_file(dir_ / "o.json"));
    EXPECT_EQ(json["samples"], 100);
    EXPECT_EQ(json["complete"], false);
}

// A stop while the results file's lock is held elsewhere: the line is not
// saved, and the run says so without promising the status 1 it does not end
// with.
TEST_F(Cli, StopWhileWaitingForTheFileLockPromisesNoWrongStatus) {
    const int fd = ::open(results_path(6).c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    const pid_t pid = start({"--seed", "1", "6", "200", "200"});
    // The first line on screen: the run now waits for the lock to save it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (read_file(dir_ / "run.out").empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(kill(pid, SIGINT), 0);
    const Finished f = wait(pid);
    ::close(fd);
    EXPECT_EQ(f.status, 130);
    EXPECT_EQ(f.err.find("status 1"), std::string::npos) << f.err;
    EXPECT_NE(f.err.find("were not saved"), std::string::npos) << f.err;
}

// The user chooses the results file or none; --strict makes a flagged
// mixing check fail the run, with every result still written.
TEST_F(Cli, ResultsFileChosenOrNoneAndStrictMixingCheck) {
    EXPECT_EQ(run({"--seed", "1", "--results", "mine.txt", "6", "200", "200"}).status, 0);
    EXPECT_EQ(lines_of(read_file(dir_ / "mine.txt")).size(), 2u);
    const Finished none = run({"--seed", "1", "--no-results", "6", "200", "200"});
    EXPECT_EQ(lines_of(none.out).size(), 2u);
    EXPECT_EQ(files_written(), std::vector<std::string>{"mine.txt"});

    const Finished strict =
        run({"--seed", "1", "--strict", "--json", "s.json", "40", "100000", "100"});
    EXPECT_EQ(strict.status, 1);
    EXPECT_NE(strict.err.find("--strict"), std::string::npos) << strict.err;
    EXPECT_EQ(results(40).size(), 1u);
    EXPECT_EQ(nlohmann::json::parse(read_file(dir_ / "s.json"))["mixing_check"]["passed"], false);
}

// Every result can be traced: --version names the build, and the JSON
// records it with the whole command line and the start in UTC.
TEST_F(Cli, VersionAndProvenanceInEveryJson) {
    const Finished version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    ASSERT_TRUE(version.out.starts_with("pellimor ")) << version.out;
    const std::string name = version.out.substr(9, version.out.size() - 10);
    EXPECT_TRUE(name.starts_with(PELLIMOR_VERSION)) << name;

    ASSERT_EQ(run({"--seed", "3", "--json", "it's.json", "6", "200", "100"}).status, 0);
    const auto json = nlohmann::json::parse(read_file(dir_ / "it's.json"));
    EXPECT_EQ(json["version"], name);
    EXPECT_EQ(json["command_line"],
              std::string(PELLIMOR_BINARY) + " --seed 3 --json 'it'\\''s.json' 6 200 100");
    const std::string started = json["started_at"];
    int y, mo, d, h, mi, sec;
    char zone = 0;
    EXPECT_EQ(std::sscanf(started.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &sec,
                          &zone),
              7)
        << started;
    EXPECT_EQ(zone, 'Z');
    EXPECT_EQ(started.size(), 20u);
}

}  // namespace
}  // namespace pellimor
