// `pellimor --class` end to end: the built program run in a temporary
// folder on graph files.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "program_runs.hpp"
#include "text_files.hpp"

namespace pellimor {
namespace {

namespace fs = std::filesystem;

using testing::read_file;

using testing::Finished;
using testing::Launch;

class ClassMode : public testing::ProgramRuns {
  protected:
    fs::path write(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / name) << text;
        return dir_ / name;
    }
};

// A clique on k vertices as lines: k! DAGs.
std::string clique(int k) {
    std::string text;
    for (int a = 0; a < k; ++a) {
        for (int b = a + 1; b < k; ++b) {
            // Appended piece by piece: GCC 12 warns (wrongly) on + chains.
            text += 'v';
            text += std::to_string(a);
            text += " -- v";
            text += std::to_string(b);
            text += '\n';
        }
    }
    return text;
}

// Graphs separated by blank lines.
std::vector<std::string> blocks(const std::string& text) {
    std::vector<std::string> result(1);
    for (const auto& line : testing::lines_of(text)) {
        if (line.empty()) {
            result.emplace_back();
        } else {
            result.back() += line + "\n";
        }
    }
    if (result.back().empty()) {
        result.pop_back();
    }
    return result;
}

TEST_F(ClassMode, ReportsTheClassOfADagWithItsEssentialGraph) {
    write("dag.txt", "a -> b\nc -> b\nb -> d\n# the vee a -> b <- c\nd -> e\ne -> f\nd -> f\n");
    const Finished f = run({"--class", "dag.txt", "--json", "class.json", "--out", "cpdag.txt"});
    ASSERT_EQ(f.status, 0) << f.err;
    EXPECT_NE(f.out.find("class size: 2 DAGs\n"), std::string::npos) << f.out;
    const auto json = nlohmann::json::parse(read_file(dir_ / "class.json"));
    EXPECT_EQ(json["class_size"], "2");
    EXPECT_EQ(json["input"]["kind"], "dag");
    EXPECT_EQ(json["lines"], nlohmann::json::parse(R"([["e", "f"]])"));
    EXPECT_EQ(json["vees"], nlohmann::json::parse(R"([["a", "b", "c"]])"));
    EXPECT_EQ(read_file(dir_ / "cpdag.txt"), "a -> b\nc -> b\nb -> d\nd -> e\nd -> f\ne -- f\n");
}

TEST_F(ClassMode, ClassSizeIsPrintedWithAllItsDigits) {
    write("clique.txt", clique(30));
    const Finished f = run({"--class", "clique.txt"});
    ASSERT_EQ(f.status, 0) << f.err;
    // 30! = 265252859812191058636308480000000
    EXPECT_NE(f.out.find("class size: 265252859812191058636308480000000 DAGs"), std::string::npos)
        << f.out;
}

struct Refused {
    const char* name;
    const char* file_text;
    std::vector<std::string> args;
    const char* said;
};

class Refusals : public ClassMode, public ::testing::WithParamInterface<Refused> {};

TEST_P(Refusals, ExitWithStatus2AndSayWhy) {
    write("g.txt", GetParam().file_text);
    std::vector<std::string> args{"--class", "g.txt"};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    const Finished f = run(args);
    EXPECT_EQ(f.status, 2);
    EXPECT_NE(f.err.find(GetParam().said), std::string::npos) << f.err;
    EXPECT_EQ(f.out, "") << "nothing written before the refusal";
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, Refusals,
    ::testing::Values(
        Refused{"cycle", "a -> b\nb -> a2\na2 -> a\n", {}, "not a DAG"},
        Refused{"not_cpdag", "a -> b\nb -- c\n", {}, "not a CPDAG"},
        Refused{"malformed", "a -> b\na b c d\n", {}, "line 2"},
        Refused{"ambiguous_matrix", "0,1\n0,0\n", {}, "--format"},
        Refused{"unknown_format", "a\n", {"--format", "dot"}, "--format must be one of"},
        Refused{"seed_without_draw", "a\n", {"--seed", "1"}, "--seed applies to --draw only"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ClassMode, ListTooLongWritesNoFile) {
    write("g.txt", clique(11));
    const Finished f = run({"--class", "g.txt", "--list", "--out", "dags.txt"});
    EXPECT_EQ(f.status, 2);
    EXPECT_NE(f.err.find("39916800 DAGs"), std::string::npos) << f.err;
    EXPECT_FALSE(fs::exists(dir_ / "dags.txt"));
}

// A DAG of 60000 vertices needs three rows of 60000 bits per vertex (1.3
// GB) for its essential graph: under a 1 GB address space that is said
// before the work starts, as status 1, with what to do; so is a graph too
// large to read.
TEST_F(ClassMode, GraphTooLargeForMemoryIsRefusedBeforeTheWork) {
#ifdef PELLIMOR_SANITIZE
    GTEST_SKIP() << "the sanitizers reserve their own address space";
#else
    std::string dag;
    for (int v = 1; v < 60000; ++v) {
        dag += "v0 -> v";
        dag += std::to_string(v);
        dag += '\n';
    }
    write("dag.txt", dag);
    // Two billion vertices: more than any check foresees before reading.
    write("huge.json", R"({"n_vars": 2000000000, "arrows": [], "lines": []})");
    Launch small;
    small.address_space_limit = rlim_t{1} << 30;
    for (const auto& [input, said] :
         {std::pair{"dag.txt", "not enough memory for this graph: about"},
          std::pair{"huge.json", "not enough memory for this graph; "}}) {
        const Finished f = wait(start({"--class", input}, "run", small));
        EXPECT_EQ(f.status, 1);
        EXPECT_EQ(f.err.rfind(std::string("pellimor: ") + said, 0), 0u) << f.err;
        EXPECT_TRUE(
            f.err.ends_with("; run it where more memory is free, or give a smaller graph\n"))
            << f.err;
    }
#endif
}

TEST_F(ClassMode, ListGivesEveryDagOnceUpToMax) {
    write("g.txt", "a -- b\nb -- c\nc -- d\nd -- a\na -- c\ne\n");  // 4-cycle with a chord
    const Finished all = run({"--class", "g.txt", "--list"});
    ASSERT_EQ(all.status, 0) << all.err;
    const auto dags = blocks(all.out);
    EXPECT_EQ(std::set<std::string>(dags.begin(), dags.end()).size(), dags.size());
    EXPECT_NE(all.err.find("class size: " + std::to_string(dags.size()) + " DAGs"),
              std::string::npos)
        << all.err;
    const Finished some = run({"--class", "g.txt", "--list", "--max", "3", "--to", "json"});
    EXPECT_EQ(testing::lines_of(some.out).size(), 3u);
}

TEST_F(ClassMode, DrawsDependOnTheSeedNotOnTheThreads) {
    write("g.txt", clique(7));
    auto draw = [&](const char* seed, const char* threads) {
        const Finished f =
            run({"--class", "g.txt", "--draw", "40", "--seed", seed, "--threads", threads});
        EXPECT_EQ(f.status, 0) << f.err;
        EXPECT_EQ(blocks(f.out).size(), 40u);
        return f.out;
    };
    const std::string one = draw("3", "1");
    EXPECT_EQ(draw("3", "2"), one);
    EXPECT_NE(draw("4", "2"), one);
}

// Stopped while listing, to a file (replaced whole at the end) and to a
// pipe read as it goes: status 130 and only whole DAGs, 45 arrows each.
TEST_F(ClassMode, InterruptedListKeepsEveryDagWhole) {
    write("g.txt", clique(10));
    for (const bool to_pipe : {false, true}) {
        int pipe_fds[2] = {-1, -1};
        ASSERT_EQ(::pipe(pipe_fds), 0);
        Launch into_pipe;
        into_pipe.stdout_fd = pipe_fds[1];
        const pid_t pid =
            to_pipe
                ? start({"--class", "g.txt", "--list", "--max", "2000000"}, "run", into_pipe)
                : start({"--class", "g.txt", "--list", "--max", "2000000", "--out", "dags.txt"});
        ::close(pipe_fds[1]);
        std::string piped;
        std::thread reader([&] {
            char block[4096];
            ssize_t got;
            while ((got = ::read(pipe_fds[0], block, sizeof block)) > 0) {
                piped.append(block, static_cast<std::size_t>(got));
                std::this_thread::sleep_for(std::chrono::microseconds(50));  // a slow reader
            }
        });
        // Once the report is out (the listing has begun), a moment more.
        const fs::path report = dir_ / (to_pipe ? "run.err" : "run.out");
        for (int waited = 0;
             waited < 20000 && read_file(report).find("class size") == std::string::npos;
             waited += 10) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ASSERT_EQ(::kill(pid, SIGINT), 0);
        const Finished f = wait(pid);
        reader.join();
        ::close(pipe_fds[0]);
        EXPECT_EQ(f.status, 130) << f.err;
        const std::string text = to_pipe ? piped : read_file(dir_ / "dags.txt");
        // Lines per DAG, the DAGs separated by empty lines.
        std::vector<int> sizes{0};
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t end = text.find('\n', at);
            ASSERT_NE(end, std::string::npos) << "a last line without its newline";
            if (end == at) {
                sizes.push_back(0);
            } else {
                ++sizes.back();
            }
            at = end + 1;
        }
        ASSERT_GT(sizes.size(), 1u) << "nothing listed before the signal";
        EXPECT_LT(sizes.size(), 2000000u) << "the signal came after the end";
        EXPECT_EQ(std::count(sizes.begin(), sizes.end(), 45), static_cast<long>(sizes.size()))
            << (to_pipe ? "pipe" : "file") << ": a DAG cut short";
    }
}

}  // namespace
}  // namespace pellimor
