// A record is built in place: writing one adds about its own text to the
// run's peak memory, not the two or three copies of a string that doubles
// as it grows and is then copied again into the writer's buffer. At
// n_vars = 10000 a record is over half a gigabyte.

#include <gtest/gtest.h>

#include <filesystem>

#include "program_runs.hpp"

namespace pellimor {
namespace {

using testing::Finished;

class SampleRecord : public testing::ProgramRuns {};

TEST_F(SampleRecord, AddsAboutItsOwnSizeToThePeakMemory) {
#ifdef PELLIMOR_SANITIZE
    GTEST_SKIP() << "the sanitizers' allocator keeps memory of its own";
#else
    // One class on 2000 vertices: about a million edges, a 22 MB record.
    const std::vector<std::string> run{"--seed",       "1",    "--threads", "1", "--exact",
                                       "--no-results", "2000", "1"};
    std::vector<std::string> with_record = run;
    with_record.insert(with_record.begin(), {"--samples", "s.jsonl"});
    const Finished without = this->run(run);
    const Finished with = this->run(with_record);
    ASSERT_EQ(without.status, 0) << without.err;
    ASSERT_EQ(with.status, 0) << with.err;
    const double record_kb =
        static_cast<double>(std::filesystem::file_size(dir_ / "s.jsonl")) / 1024;
    ASSERT_GT(record_kb, 10000);
    EXPECT_LT(static_cast<double>(with.peak_kb - without.peak_kb), 1.25 * record_kb)
        << with.peak_kb << " KiB against " << without.peak_kb << " KiB without the record";
#endif
}

}  // namespace
}  // namespace pellimor
