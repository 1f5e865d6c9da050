// A run as a library call: what the command line writes for a request, with
// no output of its own, and the hook that stops it.

#include "run/run.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "sampler/sample_record.hpp"
#include "stats/summary_json.hpp"
#include "text_files.hpp"

namespace pellimor {
namespace {

namespace fs = std::filesystem;

// The summary without what differs between two runs of one request: when
// and how long they ran, their command lines and threads, and the walk's
// reference, whose draws are bounded by time.
nlohmann::json comparable(nlohmann::json j) {
    for (const char* key : {"version", "command_line", "started_at", "seconds", "threads"}) {
        j.erase(key);
    }
    if (j["mixing_check"].is_object()) {
        for (const char* key : {"reference", "no_reference_reason", "passed"}) {
            j["mixing_check"].erase(key);
        }
    }
    return j;
}

struct SameAsCommandLine {
    const char* name;
    const char* arguments;  // besides --seed, --threads, --json and --samples
    RunRequest request;     // the same run, on one thread
};

RunRequest request(SampleMethod method, EdgeBound bound, WalkStart start, int n_vars, int n_its) {
    RunRequest r;
    r.method = method;
    r.edge_bound = bound;
    r.start = start;
    r.n_vars = n_vars;
    r.n_its = n_its;
    r.n_samples = 300;
    r.seed = 5;
    r.threads = 1;
    r.count_vees = true;  // as --samples counts them
    r.summary = true;
    // As --samples writes them by default: with the essential graph, and for
    // the exact method its DAG.
    r.records = RecordLayout{RecordFormat::JSON_LINES, method == METHOD_EXACT
                                                           ? RecordGraphs::ESSENTIAL_AND_DAG
                                                           : RecordGraphs::ESSENTIAL};
    return r;
}

// The same run with its records as a table of statistics.
RunRequest table(RunRequest r) {
    r.records = RecordLayout{RecordFormat::TSV, RecordGraphs::NONE};
    r.count_vees = false;
    return r;
}

void PrintTo(const SameAsCommandLine& c, std::ostream* out) {
    *out << c.arguments;
}

class RunLikeTheCommandLine : public ::testing::TestWithParam<SameAsCommandLine> {};

// The command line on two threads and the library on one give the same
// summary and the same records, sample for sample.
TEST_P(RunLikeTheCommandLine, SameSummaryAndRecords) {
    const SameAsCommandLine& c = GetParam();
    const fs::path dir =
        fs::temp_directory_path() / ("pellimor_run_" + std::to_string(::getpid()) + "_" + c.name);
    fs::create_directories(dir);
    const std::string command = "cd '" + dir.string() +
                                "' && '" PELLIMOR_BINARY
                                "' --seed 5 --threads 2 --no-results --json run.json --samples "
                                "samples.jsonl " +
                                std::string(c.arguments) + " > out.txt 2> err.txt";
    ASSERT_EQ(std::system(command.c_str()), 0) << testing::read_file(dir / "err.txt");
    const nlohmann::json cli = nlohmann::json::parse(testing::read_file(dir / "run.json"));
    const std::string cli_records = testing::read_file(dir / "samples.jsonl");
    fs::remove_all(dir);

    // The library writes nothing: what a run says is the caller's to write.
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    const RunPlan plan = plan_run(c.request);
    const RunOutcome outcome = run(plan);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(outcome.complete);
    const nlohmann::json library = summary_json(report_of(plan, outcome));
    EXPECT_EQ(comparable(library), comparable(cli)) << c.arguments;
    EXPECT_EQ(outcome.records.size(), 300u);
    std::string records = record_header(*c.request.records);  // TSV's header line
    for (const std::string& record : outcome.records) {       // each ends in a newline
        records += record;
    }
    EXPECT_TRUE(records == cli_records) << c.arguments;
}

INSTANTIATE_TEST_SUITE_P(
    Run, RunLikeTheCommandLine,
    ::testing::Values(
        SameAsCommandLine{"Walk", "7 3000 300",
                          request(METHOD_WALK, {}, WalkStart::EMPTY, 7, 3000)},
        SameAsCommandLine{"Exact", "--exact 9 300",
                          request(METHOD_EXACT, {}, WalkStart::EMPTY, 9, 0)},
        SameAsCommandLine{"ExactWithEdges", "--exact --edges 6 8 300",
                          request(METHOD_EXACT, EdgeBound::exactly(6), WalkStart::EMPTY, 8, 0)},
        SameAsCommandLine{"WalkFromExactStartsWithinABound",
                          "--max-edges 8 --start exact 9 500 300",
                          request(METHOD_WALK, EdgeBound::at_most(8), WalkStart::EXACT, 9, 500)},
        // Records without graphs, made from the results rather than by the
        // workers; vees counted with --stats only.
        SameAsCommandLine{"ExactTable", "--exact --samples-format tsv 9 300",
                          table(request(METHOD_EXACT, {}, WalkStart::EMPTY, 9, 0))}),
    [](const ::testing::TestParamInfo<SameAsCommandLine>& info) { return info.param.name; });

// A stop asked through the hook ends the run incomplete, after the samples
// finished by then; the stopped hook sees the same samples, once.
TEST(Run, StopHookEndsTheRunIncomplete) {
    RunRequest r = request(METHOD_WALK, {}, WalkStart::EMPTY, 8, 2000);
    r.n_samples = 1000000;
    r.threads = 2;
    r.records.reset();
    const RunPlan plan = plan_run(r);
    std::int64_t seen = 0;
    int stopped_calls = 0;
    std::int64_t stopped_samples = -1;
    RunHooks hooks;
    hooks.sample = [&](const SampleResult&, std::string_view) { ++seen; };
    hooks.stop = [&] { return seen >= 150; };
    hooks.stopped = [&](const RunOutcome& so_far) {
        ++stopped_calls;
        stopped_samples = so_far.statistics.samples;
        EXPECT_FALSE(so_far.complete);
    };
    const RunOutcome outcome = run(plan, hooks);
    EXPECT_FALSE(outcome.complete);
    EXPECT_GE(seen, 150);
    EXPECT_LT(seen, 1000);
    EXPECT_EQ(outcome.statistics.samples, seen);
    EXPECT_EQ(stopped_calls, 1);
    EXPECT_EQ(stopped_samples, seen);
    EXPECT_FALSE(outcome.reference);
}

}  // namespace
}  // namespace pellimor
