#include "driver/memory_budget.hpp"

#include <gtest/gtest.h>

#include "walk_request.hpp"

namespace pellimor {
namespace {

using testing::walk;

TEST(WorkersThatFit, TheTightestLimitBinds) {
    const MemoryNeed need{100, 50, 4, 4};
    EXPECT_FALSE(workers_that_fit(need, {}));
    const std::vector<MemoryLimit> limits{
        {"by a", 400, 0}, {"under b", 400, 25}, {"under c", 1000, 0}};
    const auto fit = workers_that_fit(need, limits);
    ASSERT_TRUE(fit);
    EXPECT_EQ(fit->workers, 4);  // (400 - 100) / (50 + 25)
    EXPECT_EQ(fit->binding, &limits[1]);
    const std::vector<MemoryLimit> tables_too_large{{"by a", 99, 0}};
    EXPECT_EQ(workers_that_fit(need, tables_too_large)->workers, -1);
}

TEST(MemoryShortage, NamesTheThreadsThatWouldFit) {
    // 1 GiB + 9 * 16384 * 256 * 8 + 28 * 16384 + 12 * 65536 bytes per worker.
    const double per_worker = memory_needed(walk(16384, 100, 1)).per_worker;
    const std::vector<MemoryLimit> three{{"by MemAvailable", 3.5 * per_worker, 0}};
    EXPECT_FALSE(memory_shortage(walk(16384, 100, 3), three));
    EXPECT_EQ(memory_shortage(walk(16384, 100, 4), three),
              "not enough memory for graphs on n_vars = 16384 vertices (about 1.3 GiB per "
              "worker thread); choose a smaller n_vars or fewer --threads; --threads 3 fits in "
              "the 4.5 GiB free by MemAvailable");
    const std::vector<MemoryLimit> none{{"under the address-space limit", 0.5 * per_worker, 0}};
    EXPECT_EQ(memory_shortage(walk(16384, 100, 1), none),
              "not enough memory for graphs on n_vars = 16384 vertices (about 1.3 GiB per "
              "worker thread); choose a smaller n_vars or fewer --threads; not even one worker "
              "thread fits in the 0.64 GiB free under the address-space limit");
}

// --samples records with graphs at n_vars = 10000: each about 25 million
// pairs of the class and as many of the DAG, 12 bytes each, built by each
// worker, and one more held by the writer while the worker builds the next.
TEST(MemoryShortage, CountsTheRecordsOfSamples) {
    RunRequest exact = walk(10000, 5, 1);
    exact.method = METHOD_EXACT;
    const MemoryNeed plain = memory_needed(exact);
    const RunRequest without_records = exact;
    exact.records = RecordLayout{};
    const MemoryNeed with_records = memory_needed(exact);
    const double record = 512 + 2 * 1.01 * 10000 * 9999 / 4 * 12;
    EXPECT_DOUBLE_EQ(with_records.record, record);
    EXPECT_DOUBLE_EQ(with_records.per_worker, plain.per_worker + record);
    EXPECT_DOUBLE_EQ(with_records.shared, plain.shared + record);
    const std::vector<MemoryLimit> short_of_one{
        {"under the address-space limit", plain.shared + plain.per_worker + record, 0}};
    EXPECT_FALSE(memory_shortage(without_records, short_of_one));
    const auto message = memory_shortage(exact, short_of_one);
    ASSERT_TRUE(message);
    EXPECT_TRUE(
        message->ends_with("; a --samples record with its graphs takes about 0.56 GiB of "
                           "it (--samples-graphs none writes none)"))
        << *message;
}

TEST(MemoryLimits, ReadFromTheSystemsFiles) {
    EXPECT_EQ(mem_available("MemTotal:       24000000 kB\nMemFree:        100 kB\n"
                            "MemAvailable:   23000000 kB\nBuffers:  1 kB\n"),
              23000000.0 * 1024);
    EXPECT_FALSE(mem_available("MemTotal:       24000000 kB\n"));
    EXPECT_EQ(cgroup_v2_path("0::/user.slice/run.scope\n"), "/user.slice/run.scope");
    EXPECT_EQ(cgroup_v2_path("4:memory:/docker/x\n0::/\n"), "/");
    EXPECT_FALSE(cgroup_v2_path("4:memory:/docker/x\n"));
    // This machine's, as far as they exist: rooms are never made up.
    for (const auto& limit : memory_limits()) {
        EXPECT_GE(limit.room, 0) << limit.name;
        EXPECT_FALSE(limit.name.empty());
    }
}

// Every thread started takes its stack and heap arena, and no more threads
// start than there are samples.
TEST(MemoryShortage, CountsEveryThreadStartedWithItsStack) {
    EXPECT_EQ(memory_needed(walk(6, 200, 1024)).threads, 200);
    EXPECT_EQ(memory_needed(walk(6, 200, 1024)).workers, 200);
    EXPECT_EQ(memory_needed(walk(6, 10, 1024)).threads, 10);
    const double per_thread = 72.0 * 1024 * 1024;
    const std::vector<MemoryLimit> limits{{"under the address-space limit", 4e9, per_thread}};
    const auto message = memory_shortage(walk(6, 200, 1024), limits);
    ASSERT_TRUE(message);
    EXPECT_NE(message->find("about 0.07 GiB per worker thread"), std::string::npos) << *message;
    EXPECT_NE(message->find("--threads 52 fits"), std::string::npos) << *message;
    EXPECT_FALSE(memory_shortage(walk(6, 200, 52), limits));
}

}  // namespace
}  // namespace pellimor
