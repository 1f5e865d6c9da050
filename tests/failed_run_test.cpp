// Memory that runs out on a worker thread in the middle of a run, after the
// check before it passed: the run fails with the not-enough-memory message,
// and its outputs hold the samples finished before, as after a stop.

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "program_runs.hpp"

namespace pellimor {
namespace {

using testing::Finished;
using testing::Launch;
using testing::lines_of;
using testing::read_file;

class FailedRun : public testing::ProgramRuns {};

TEST_F(FailedRun, MemoryRunningOutKeepsTheFinishedSamples) {
#ifdef PELLIMOR_SANITIZE
    GTEST_SKIP() << "the sanitizers' runtime replaces operator new itself";
#else
    // The workers make a few thousand allocations for their tables and
    // then two or three for each record: they run out after many samples.
    Launch launch;
    launch.environment = {"LD_PRELOAD=" PELLIMOR_FAILING_ALLOCATIONS,
                          "PELLIMOR_TEST_ALLOCATIONS_ALLOWED=10000"};
    const Finished f = wait(start({"--seed", "1", "--threads", "2", "--exact", "--summary",
                                   "--json", "j.json", "--samples", "s.jsonl", "9", "1000000"},
                                  "run", launch));
    EXPECT_EQ(f.status, 1) << f.err;
    ASSERT_TRUE(std::filesystem::exists(dir_ / "j.json")) << f.err;
    const auto json = nlohmann::json::parse(read_file(dir_ / "j.json"));
    EXPECT_EQ(json["complete"], false);
    const long long samples = json["samples"].get<long long>();
    EXPECT_GE(samples, 100);
    EXPECT_EQ(f.err,
              "pellimor: not enough memory for graphs on n_vars = 9 vertices (about 0.00 "
              "GiB per worker thread); choose a smaller n_vars or fewer --threads; the "
              "summary, the JSON and the --samples records give the " +
                  std::to_string(samples) + " samples finished before memory ran out\n");
    const std::vector<std::string> records = lines_of(read_file(dir_ / "s.jsonl"));
    EXPECT_EQ(static_cast<long long>(records.size()), samples);
    for (const std::string& record : records) {
        ASSERT_TRUE(nlohmann::json::accept(record)) << record;
    }
    EXPECT_EQ(static_cast<long long>(lines_of(read_file(dir_ / "pellimor_exact_9.txt")).size()),
              samples / 100);
    EXPECT_NE(f.out.find(" Summary\n"), std::string::npos) << f.out;
#endif
}

}  // namespace
}  // namespace pellimor
