// The command line end to end: the built program run in a temporary folder.

#include <fcntl.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace pellimor {
namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

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

struct Finished {
    int status = -1;  // exit status, or 128 + signal when killed by one
    std::string out;
    std::string err;
};

// Runs the program in its own temporary folder, standard output and error
// captured in files there.
class Cli : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("pellimor_cli_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    pid_t start(const std::vector<std::string>& args, const std::string& tag = "run") {
        std::vector<std::string> argv_text{PELLIMOR_BINARY};
        argv_text.insert(argv_text.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& arg : argv_text) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        const std::string out = (dir_ / (tag + ".out")).string();
        const std::string err = (dir_ / (tag + ".err")).string();
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addchdir_np(&actions, dir_.c_str());
        pid_t pid = -1;
        const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(failed, 0) << "cannot start " << PELLIMOR_BINARY;
        return pid;
    }

    Finished wait(pid_t pid, const std::string& tag = "run") {
        int raw = 0;
        Finished finished;
        if (waitpid(pid, &raw, 0) == pid) {
            finished.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        }
        finished.out = read_file(dir_ / (tag + ".out"));
        finished.err = read_file(dir_ / (tag + ".err"));
        return finished;
    }

    Finished run(const std::vector<std::string>& args) { return wait(start(args)); }

    std::vector<std::string> results(int n_vars) {
        return lines_of(read_file(dir_ / ("pellimor_" + std::to_string(n_vars) + ".txt")));
    }

    // Files the program left in its folder, besides the captured output.
    std::vector<std::string> files_written() {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            const std::string name = entry.path().filename();
            if (!name.ends_with(".out") && !name.ends_with(".err")) {
                names.push_back(name);
            }
        }
        return names;
    }

    fs::path dir_;
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
    const Finished f = run({"--help"});
    EXPECT_EQ(f.status, 0);
    EXPECT_EQ(f.out.rfind(usage, 0), 0u);
    EXPECT_NE(f.out.find("--threads"), std::string::npos);
    EXPECT_EQ(f.err, "");
}

TEST_F(Cli, FewerThanHundredSamplesReportNothing) {
    const Finished f = run({"6", "50", "99"});
    EXPECT_EQ(f.status, 0);
    EXPECT_EQ(f.out, "");
    EXPECT_EQ(f.err, "");
    EXPECT_TRUE(files_written().empty());
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

TEST_F(Cli, FullDiskFailsTheRun) {
    if (!fs::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full here";
    }
    fs::create_symlink("/dev/full", dir_ / "pellimor_6.txt");
    const Finished f = run({"6", "100", "100"});
    EXPECT_EQ(f.status, 1);
    EXPECT_EQ(lines_of(f.out).size(), 1u);
    EXPECT_NE(f.err.find("No space left on device"), std::string::npos) << f.err;
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
            EXPECT_TRUE(rest.ends_with("seed 9")) << rest;
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
        const std::string text = read_file(dir_ / "pellimor_6.txt");
        ASSERT_FALSE(text.empty()) << "no line before the signal";
        EXPECT_TRUE(text.ends_with(" \n"));
        for (const auto& line : lines_of(text)) {
            ASSERT_TRUE(is_report_line(line)) << line;
        }
        fs::remove(dir_ / "pellimor_6.txt");
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
    const int converted = std::sscanf(
        line.c_str(),
        " %d / %d, %d / %d, %d / %d, %d / %d = %lf, %lf, %lf, %lf in %lf hours "
        "(%d / %lld = %lf classes per DAG)%n",
        &counts[0], &counts[1], &counts[2], &counts[3], &counts[4], &counts[5], &counts[6],
        &counts[7], &values[0], &values[1], &values[2], &values[3], &values[4], &samples, &dags,
        &ratio, &consumed);
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

TEST_F(Cli, MixingCheckWarnsOnlyWhenTheWalksAreTooShort) {
    struct Case {
        std::vector<std::string> args;
        bool warns;
    };
    for (const Case& c : std::vector<Case>{
             {{"--seed", "1", "40", "100000", "100"}, true},
             {{"--seed", "1", "--start", "exact", "40", "100000", "100"}, false},
             {{"--seed", "1", "6", "20000", "300"}, false},
         }) {
        const Finished f = run(c.args);
        EXPECT_EQ(f.status, 0);
        EXPECT_EQ(f.err.find("likely biased") != std::string::npos, c.warns) << f.err;
    }
}

TEST_F(Cli, JsonSummaryHoldsTheRunEvenWhenInterrupted) {
    const Finished f = run({"--summary", "--json", "out.json", "6", "20000", "150"});
    ASSERT_EQ(f.status, 0) << f.err;
    const auto json = nlohmann::json::parse(read_file(dir_ / "out.json"));
    for (const char* key : {"method", "start", "n_vars", "n_its", "n_samples", "samples", "seed",
                            "threads", "seconds", "complete", "shares", "move_rates",
                            "mixing_check", "counts"}) {
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

}  // namespace
}  // namespace pellimor
