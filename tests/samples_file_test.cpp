// --samples end to end: the built program writes every sample as a JSON line
// that rebuilds into the class its report lines counted, and keeps the
// file whole or untouched when the disk fills, a signal stops the run, the
// pipe's reader leaves, or the target is not a regular file.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "graph/admissibility.hpp"
#include "graph/matrix_queries.hpp"
#include "sampler/sample_run.hpp"
#include "text_files.hpp"

namespace pellimor {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

using testing::lines_of;
using testing::read_file;

struct Finished {
    int status = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;
};

class SamplesFile : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("pellimor_samples_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Starts the program in dir_, standard output into stdout_fd (else the
    // file "out"), standard error into "err", SIGPIPE at its default.
    pid_t start(const std::vector<std::string>& args, int stdout_fd = -1,
                std::optional<rlim_t> file_size_limit = std::nullopt) {
        std::vector<std::string> text{PELLIMOR_BINARY};
        text.insert(text.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& arg : text) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        const std::string out = (dir_ / "out").string();
        const std::string err = (dir_ / "err").string();
        const std::string dir = dir_.string();
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int out_fd = stdout_fd >= 0
                                   ? stdout_fd
                                   : ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err_fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const rlimit limit{file_size_limit.value_or(RLIM_INFINITY),
                               file_size_limit.value_or(RLIM_INFINITY)};
            if (out_fd < 0 || err_fd < 0 || ::dup2(out_fd, 1) < 0 || ::dup2(err_fd, 2) < 0 ||
                ::chdir(dir.c_str()) != 0 || ::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                ::_exit(126);
            }
            ::signal(SIGPIPE, SIG_DFL);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        return pid;
    }

    Finished wait(pid_t pid) {
        int raw = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        pid_t ended = 0;
        while ((ended = ::waitpid(pid, &raw, WNOHANG)) == 0 &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (ended == 0) {
            ADD_FAILURE() << "the run did not end";
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &raw, 0);
        }
        Finished f;
        f.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        f.out = read_file(dir_ / "out");
        f.err = read_file(dir_ / "err");
        return f;
    }

    Finished run(const std::vector<std::string>& args) { return wait(start(args)); }

    std::set<std::string> files() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            names.insert(entry.path().filename());
        }
        names.erase("out");
        names.erase("err");
        return names;
    }

    fs::path dir_;
};

// The last report line's counts of samples without lines and connected.
std::pair<int, int> reported_counts(const std::string& line) {
    int counts[4] = {};
    EXPECT_EQ(std::sscanf(line.c_str(), " %d / %*d, %d / %d", &counts[0], &counts[1], &counts[2]),
              3)
        << line;
    return {counts[0], counts[1]};
}

EdgeMatrix matrix_of(const json& record, const char* arrows_key, bool with_lines) {
    EdgeMatrix m(record["n_vars"].get<int>());
    for (const auto& arrow : record[arrows_key]) {
        m[arrow[0].get<int>()][arrow[1].get<int>()] = EDGE_ARROW;
    }
    for (const auto& line : with_lines ? record["lines"] : json::array()) {
        m[line[0].get<int>()][line[1].get<int>()] = m[line[1].get<int>()][line[0].get<int>()] =
            EDGE_LINE;
    }
    return m;
}

// The v-structures x -> z <- y (x < y) of the arrows of m.
std::set<std::array<int, 3>> vees_of(const EdgeMatrix& m) {
    std::set<std::array<int, 3>> vees;
    const int n = m.size();
    for (int z = 0; z < n; ++z) {
        for (int x = 0; x < n; ++x) {
            for (int y = x + 1; y < n; ++y) {
                if (m[x][z] == EDGE_ARROW && m[y][z] == EDGE_ARROW && !adjacent(m, x, y)) {
                    vees.insert({x, y, z});
                }
            }
        }
    }
    return vees;
}

bool is_acyclic(const EdgeMatrix& m) {
    const int n = m.size();
    std::vector<bool> removed(static_cast<std::size_t>(n), false);
    for (int round = 0; round < n; ++round) {
        int source = -1;
        for (int v = 0; v < n && source < 0; ++v) {
            bool has_parent = false;
            for (int u = 0; u < n; ++u) {
                has_parent = has_parent || (!removed[u] && m[u][v] == EDGE_ARROW);
            }
            source = !removed[v] && !has_parent ? v : -1;
        }
        if (source < 0) {
            return false;
        }
        removed[static_cast<std::size_t>(source)] = true;
    }
    return true;
}

// Reads every record back, rebuilds its graph and checks it against its
// statistics, the report's counts and, for --exact, the DAG drawn.
void check_round_trip(const std::string& records, const std::string& last_report_line, int samples,
                      bool exact) {
    const auto lines = lines_of(records);
    ASSERT_EQ(static_cast<int>(lines.size()), samples);
    int no_lines = 0;
    int connected = 0;
    for (int i = 0; i < samples; ++i) {
        const json r = json::parse(lines[static_cast<std::size_t>(i)]);
        ASSERT_EQ(r["sample"], i + 1);
        const EdgeMatrix m = matrix_of(r, "arrows", true);
        ASSERT_TRUE(is_admissible(m)) << lines[static_cast<std::size_t>(i)];
        EXPECT_EQ(r["arrow_count"], r["arrows"].size());
        EXPECT_EQ(r["line_count"], r["lines"].size());
        EXPECT_EQ(r["edge_count"], r["arrows"].size() + r["lines"].size());
        EXPECT_EQ(r["connected"].get<bool>(), is_connected(m));
        EXPECT_EQ(r["class_size"] == 1, r["lines"].empty());
        const auto vees = vees_of(m);
        EXPECT_EQ(r["vee_count"], vees.size());
        no_lines += r["lines"].empty() ? 1 : 0;
        connected += r["connected"].get<bool>() ? 1 : 0;
        if (!exact) {
            EXPECT_FALSE(r.contains("dag"));
            continue;
        }
        // The DAG is in the class: acyclic, the same skeleton, the class's
        // arrows as they are, and the same v-structures.
        const EdgeMatrix dag = matrix_of(r, "dag", false);
        ASSERT_TRUE(is_acyclic(dag));
        for (int a = 0; a < m.size(); ++a) {
            for (int b = 0; b < m.size(); ++b) {
                ASSERT_EQ(adjacent(dag, a, b), adjacent(m, a, b));
                if (m[a][b] == EDGE_ARROW) {
                    ASSERT_EQ(dag[a][b], EDGE_ARROW);
                }
            }
        }
        EXPECT_EQ(vees_of(dag), vees);
    }
    EXPECT_EQ(reported_counts(last_report_line), std::make_pair(no_lines, connected));
}

TEST_F(SamplesFile, RecordsRebuildTheClassesTheReportCounted) {
    for (const bool exact : {true, false}) {
        SCOPED_TRACE(exact ? "exact" : "walk");
        const std::vector<std::string> args =
            exact ? std::vector<std::string>{"--exact", "--seed", "5", "7", "300"}
                  : std::vector<std::string>{"--seed", "5", "6", "20000", "200"};
        auto with = args;
        with.insert(with.begin(), {"--samples", "s.jsonl", "--json", "j.json"});
        const Finished f = run(with);
        ASSERT_EQ(f.status, 0) << f.err;
        const std::string records = read_file(dir_ / "s.jsonl");
        check_round_trip(records, lines_of(f.out).back(), exact ? 300 : 200, exact);
        // The summary's mean edges is the records' mean.
        double edges = 0;
        for (const auto& line : lines_of(records)) {
            edges += json::parse(line)["edge_count"].get<double>();
        }
        const json summary = json::parse(read_file(dir_ / "j.json"));
        EXPECT_NEAR(summary["class_statistics"]["edge_count"]["mean"].get<double>(),
                    edges / (exact ? 300 : 200), 1e-9);

        // "-": the same records on standard output, the report on standard
        // error.
        auto to_stdout = args;
        to_stdout.insert(to_stdout.begin(), {"--samples", "-"});
        const Finished piped = run(to_stdout);
        ASSERT_EQ(piped.status, 0) << piped.err;
        EXPECT_EQ(piped.out, records);
        EXPECT_EQ(lines_of(piped.err).size(), exact ? 3u : 2u) << piped.err;
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
}

// The same seed writes the same samples as TSV (a header, one row each) as
// it does as JSON Lines: every field, the graphs as the same JSON arrays, a
// null as an empty field; without graphs, the statistics alone, and the vees
// only with --stats.
TEST_F(SamplesFile, TsvRowsHoldWhatJsonLinesHold) {
    for (const bool exact : {true, false}) {
        SCOPED_TRACE(exact ? "exact" : "walk");
        const std::vector<std::string> args =
            exact ? std::vector<std::string>{"--exact", "--seed", "9", "--no-results", "6", "150"}
                  : std::vector<std::string>{"--seed", "9", "--no-results", "5", "3000", "150"};
        auto with = [&](std::vector<std::string> options) {
            options.insert(options.end(), args.begin(), args.end());
            const Finished f = run(options);
            EXPECT_EQ(f.status, 0) << f.err;
            return lines_of(read_file(dir_ / "s"));
        };
        const auto jsonl = with({"--samples", "s"});
        const auto tsv = with({"--samples", "s", "--samples-format", "tsv", "--samples-graphs",
                               exact ? "essential+dag" : "essential", "--stats"});
        const auto bare = with({"--samples", "s", "--samples-format", "tsv"});
        ASSERT_EQ(jsonl.size(), 150u);
        ASSERT_EQ(tsv.size(), 151u);
        ASSERT_EQ(bare.size(), 151u);
        auto fields = [](const std::string& line) {
            std::vector<std::string> cells;
            std::istringstream in(line);
            for (std::string cell; std::getline(in, cell, '\t');) {
                cells.push_back(cell);
            }
            if (!line.empty() && line.back() == '\t') {
                cells.emplace_back();
            }
            return cells;
        };
        const auto header = fields(tsv[0]);
        const auto bare_header = fields(bare[0]);
        ASSERT_EQ(header.size(), exact ? 14u : 13u);
        ASSERT_EQ(bare_header, std::vector<std::string>(header.begin(), header.begin() + 11));
        for (std::size_t i = 0; i < jsonl.size(); ++i) {
            const json record = json::parse(jsonl[i]);
            ASSERT_EQ(record.size(), header.size());
            const auto row = fields(tsv[i + 1]);
            const auto bare_row = fields(bare[i + 1]);
            ASSERT_EQ(row.size(), header.size()) << tsv[i + 1];
            ASSERT_EQ(bare_row.size(), bare_header.size()) << bare[i + 1];
            for (std::size_t k = 0; k < header.size(); ++k) {
                const json& value = record.at(header[k]);
                const std::string& cell = row[k];
                if (value.is_null()) {
                    EXPECT_EQ(cell, "") << header[k];
                } else if (value.is_boolean()) {
                    EXPECT_EQ(cell, value.get<bool>() ? "true" : "false") << header[k];
                } else if (value.is_array()) {
                    EXPECT_EQ(json::parse(cell), value) << header[k];
                } else {
                    EXPECT_EQ(std::stod(cell), value.get<double>()) << header[k];
                }
                if (k < bare_row.size()) {
                    EXPECT_EQ(bare_row[k], header[k] == "vee_count" ? "" : cell) << header[k];
                }
            }
        }
    }
}

TEST_F(SamplesFile, FullDiskLeavesTheOldFileOrWholeRecords) {
    // A file-size limit fails writes as a full disk does.
    std::ofstream(dir_ / "s.jsonl") << "old\n";
    const Finished limited =
        wait(start({"--exact", "--samples", "s.jsonl", "40", "2000"}, -1, rlim_t{2000000}));
    EXPECT_EQ(limited.status, 1);
    EXPECT_NE(limited.err.find("the samples are not saved: cannot write 's.jsonl': File too large"),
              std::string::npos)
        << limited.err;
    EXPECT_EQ(read_file(dir_ / "s.jsonl"), "old\n");
    EXPECT_EQ(files(), (std::set<std::string>{"s.jsonl", "pellimor_exact_40.txt"}));

    // Standard output into a regular file: whole records up to the limit.
    const int out = ::open((dir_ / "stdout.jsonl").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const Finished direct =
        wait(start({"--exact", "--samples", "-", "40", "2000"}, out, rlim_t{2000000}));
    ::close(out);
    EXPECT_EQ(direct.status, 1);
    const auto kept = lines_of(read_file(dir_ / "stdout.jsonl"));
    ASSERT_FALSE(kept.empty());
    EXPECT_TRUE(read_file(dir_ / "stdout.jsonl").ends_with("}\n"));
    for (const auto& line : kept) {
        EXPECT_TRUE(json::accept(line)) << line;
    }

    // A device that is always full is written, not replaced.
    if (fs::exists("/dev/full")) {
        fs::create_symlink("/dev/full", dir_ / "full.jsonl");
        const Finished device = run({"--exact", "--samples", "full.jsonl", "7", "100"});
        EXPECT_EQ(device.status, 1);
        EXPECT_NE(device.err.find("No space left on device"), std::string::npos) << device.err;
        EXPECT_TRUE(fs::is_symlink(dir_ / "full.jsonl"));
    }
}

TEST_F(SamplesFile, StoppedRunKeepsTheSamplesItsSummaryCounts) {
    const pid_t pid =
        start({"--exact", "--json", "j.json", "--samples", "s.jsonl", "12", "2000000000"});
    // Some samples first, however busy the machine.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (read_file(dir_ / "pellimor_exact_12.txt").empty() &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(::kill(pid, SIGINT), 0);
    EXPECT_EQ(wait(pid).status, 130);
    const json summary = json::parse(read_file(dir_ / "j.json"));
    const auto records = lines_of(read_file(dir_ / "s.jsonl"));
    EXPECT_GT(records.size(), 0u);
    EXPECT_EQ(static_cast<long long>(records.size()), summary["samples"].get<long long>());
    EXPECT_EQ(json::parse(records.back())["sample"], records.size());
    EXPECT_EQ(files(), (std::set<std::string>{"s.jsonl", "j.json", "pellimor_exact_12.txt"}));
}

TEST_F(SamplesFile, ClosedPipeEndsTheRunWithWholeReportLines) {
    int pipe_fds[2];
    ASSERT_EQ(::pipe2(pipe_fds, O_CLOEXEC), 0);
    ::close(pipe_fds[0]);
    const Finished f = wait(start({"--exact", "--samples", "-", "7", "2000000000"}, pipe_fds[1]));
    ::close(pipe_fds[1]);
    EXPECT_EQ(f.status, 1);
    EXPECT_NE(f.err.find("the samples are not saved: cannot write '-': Broken pipe"),
              std::string::npos)
        << f.err;
    for (const auto& line : lines_of(read_file(dir_ / "pellimor_exact_7.txt"))) {
        EXPECT_TRUE(line.ends_with("classes per DAG) ")) << line;
    }
}

TEST_F(SamplesFile, TargetsThatCannotTakeSamplesAreRefusedBeforeTheRun) {
    fs::create_directory(dir_ / "folder");
    for (const auto& [target, why] : std::vector<std::pair<std::string, std::string>>{
             {"folder", "--samples: cannot write 'folder': Is a directory"},
             {"no/such/folder/s.jsonl", "No such file or directory"},
             {"pellimor_exact_7.txt", "names the results file"}}) {
        const Finished f = run({"--exact", "--samples", target, "7", "100"});
        EXPECT_EQ(f.status, target == "pellimor_exact_7.txt" ? 2 : 1) << target;
        EXPECT_NE(f.err.find(why), std::string::npos) << f.err;
        EXPECT_EQ(f.out, "");
    }
    EXPECT_EQ(files(), (std::set<std::string>{"folder"}));
    const Finished both = run({"--exact", "--samples", "-", "--json", "-", "7", "100"});
    EXPECT_EQ(both.status, 2);
    EXPECT_NE(both.err.find("both name standard output"), std::string::npos) << both.err;

    // Standard output appending to the results file (`>> pellimor_exact_7.txt`),
    // or named as it: the records would land among the report lines, and
    // the report lines themselves would stand there twice.
    ASSERT_EQ(run({"--exact", "--seed", "1", "7", "100"}).status, 0);
    const std::string results = read_file(dir_ / "pellimor_exact_7.txt");
    struct Case {
        std::vector<std::string> args;
        std::string file;
        std::string why;
    };
    for (const auto& [args, file, why] :
         std::vector<Case>{{{"--exact", "--samples", "-", "7", "100"},
                            "pellimor_exact_7.txt",
                            "--samples '-' (standard output) names the "},
                           {{"--exact", "--results", "/dev/stdout", "--samples", "-", "7", "100"},
                            "f.txt",
                            "--samples '-' (standard output) names the "},
                           {{"--exact", "7", "100"},
                            "pellimor_exact_7.txt",
                            "standard output names the results file 'pellimor_exact_7.txt'"}}) {
        const int out = ::open((dir_ / file).c_str(), O_WRONLY | O_APPEND | O_CREAT, 0644);
        const std::string before = read_file(dir_ / file);
        const Finished f = wait(start(args, out));
        ::close(out);
        EXPECT_EQ(f.status, 2) << file;
        EXPECT_NE(f.err.find(why), std::string::npos) << f.err;
        EXPECT_EQ(read_file(dir_ / file), before);
    }
    EXPECT_EQ(read_file(dir_ / "pellimor_exact_7.txt"), results);
}

}  // namespace
}  // namespace pellimor
