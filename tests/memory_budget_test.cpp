#include "driver/memory_budget.hpp"

#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "sampler/dag_counts.hpp"
#include "sampler/exact_sampler.hpp"

namespace pellimor {
namespace {

Options walk(int n_vars, int n_samples) {
    Options options;
    options.n_vars = n_vars;
    options.n_its = 100;
    options.n_samples = n_samples;
    return options;
}

TEST(MemoryNeeded, WalkHoldsItsMatrixAndJudgeWhileItRunsASample) {
    // 65536 vertices: a 16 GiB matrix and 1024-word rows of bits.
    const MemoryNeed need = memory_needed(walk(65536, 2), 4);
    EXPECT_EQ(need.shared, 0);
    // ... and the statistics of the class it reaches: 4 rows of bits, an
    // int per vertex and the class-size counter's memo.
    const double statistics = 4.0 * 65536 * 1024 * 8 + 4.0 * 65536 + 65536 * 12.0;
    EXPECT_DOUBLE_EQ(need.per_worker,
                     4.0 * 65536 * 65536 + 5.0 * 65536 * 1024 * 8 + 24.0 * 65536 + statistics);
    EXPECT_EQ(need.workers, 2);  // no more workers than samples hold graphs
    EXPECT_EQ(memory_needed(walk(6, 0), 4).workers, 0);

    Options full = walk(1000, 10);
    full.full_check = true;
    EXPECT_DOUBLE_EQ(
        memory_needed(full, 4).per_worker,
        8.0 * 1000 * 1000 + 4.0 * 1000 + 4.0 * 1000 * 16 * 8 + 4.0 * 1000 + 65536 * 12.0);
    EXPECT_EQ(memory_needed(full, 4).workers, 4);
    // No overflow at the largest n_vars.
    EXPECT_GT(memory_needed(walk(2147483647, 1), 1).per_worker, 2.1e19);
}

TEST(MemoryNeeded, ExactSamplerInEveryWorkerAndTablesShared) {
    Options exact = walk(10000, 5);
    exact.exact = true;
    const MemoryNeed need = memory_needed(exact, 3);
    EXPECT_EQ(need.shared, static_cast<double>(DagCounts::bytes_needed(10000)));
    EXPECT_EQ(need.per_worker, static_cast<double>(ExactSampler::bytes_per_worker(10000)));
    EXPECT_EQ(need.workers, 3);

    Options start = walk(10000, 5);
    start.start = WalkStart::EXACT;
    const MemoryNeed both = memory_needed(start, 3);
    EXPECT_EQ(both.shared, need.shared);
    EXPECT_DOUBLE_EQ(both.per_worker,
                     need.per_worker + memory_needed(walk(10000, 1), 3).per_worker);
    EXPECT_EQ(both.workers, 3);
}

// The tables for n vertices and `workers` exact samplers, each of which has
// drawn a class.
struct Workers {
    Workers(int n, int workers) : tables(n) {
        samplers.reserve(static_cast<std::size_t>(workers));
        for (int i = 0; i < workers; ++i) {
            samplers.emplace_back(tables);
            Xoshiro256StarStar rng(sample_stream(1, static_cast<std::uint64_t>(i)));
            SampleResult result;
            drew = samplers.back().draw_class(rng, result) && drew;
        }
    }
    DagCounts tables;
    std::vector<ExactSampler> samplers;
    bool drew = true;
};

// The growth of the peak resident memory of a child process that builds the
// tables for n vertices and `workers` exact samplers that draw a class, in
// bytes;
// -1 when it could not be measured. Every allocation of a page or more is
// made a mapping of its own, so that all of it is fresh memory, counted once
// touched, and none reuses what the test process freed before; a worker for
// n = 2, kept meanwhile, first brings in the code's pages, which are no
// allocation.
double measured_exact_peak(int n, int workers) {
    int out[2];
    if (pipe(out) != 0) {
        return -1;
    }
    const pid_t child = fork();
    if (child < 0) {
        return -1;
    }
    if (child == 0) {
        close(out[0]);
        mallopt(M_MMAP_THRESHOLD, 4096);
        double grown = -1;
        const Workers warm_up(2, 1);
        rusage before{};
        getrusage(RUSAGE_SELF, &before);
        if (warm_up.drew && Workers(n, workers).drew) {
            rusage after{};
            getrusage(RUSAGE_SELF, &after);
            grown = 1024.0 * static_cast<double>(after.ru_maxrss - before.ru_maxrss);
        }
        const bool written = write(out[1], &grown, sizeof grown) == sizeof grown;
        _exit(written ? 0 : 1);
    }
    close(out[1]);
    double grown = -1;
    if (read(out[0], &grown, sizeof grown) != sizeof grown) {
        grown = -1;
    }
    close(out[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? grown : -1;
}

// The memory check counts what the exact method really holds: the tables and
// the workers' samplers within 10% of the peak memory they take. (Sixteen
// workers at n = 1000: one worker takes about 150 kB and the tables under
// 1 MB, and with four a quarter of a megabyte of other growth, as seen, would
// weigh in.)
class ExactMemory : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(ExactMemory, EstimateWithinTenPercentOfMeasuredPeak) {
#ifdef PELLIMOR_SANITIZE
    GTEST_SKIP() << "the sanitizers' allocator keeps memory of its own";
#endif
    const auto [n, workers] = GetParam();
    Options exact = walk(n, workers);  // a sample for each worker, or fewer threads start
    exact.exact = true;
    const MemoryNeed need = memory_needed(exact, workers);
    const double estimate = need.shared + need.workers * need.per_worker;
    const double measured = measured_exact_peak(n, workers);
    ASSERT_GT(measured, 0) << "the child process could not measure its memory";
    EXPECT_NEAR(estimate, measured, 0.1 * measured)
        << "n = " << n << ": estimated " << estimate << " bytes, measured " << measured;
}

INSTANTIATE_TEST_SUITE_P(MemoryNeeded, ExactMemory,
                         ::testing::Values(std::pair{1000, 16}, std::pair{10000, 1}));

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
    const Options options = walk(16384, 100);
    // 1 GiB + 9 * 16384 * 256 * 8 + 28 * 16384 + 12 * 65536 bytes per worker.
    const double per_worker = memory_needed(options, 1).per_worker;
    const std::vector<MemoryLimit> three{{"by MemAvailable", 3.5 * per_worker, 0}};
    EXPECT_FALSE(memory_shortage(options, 3, three));
    EXPECT_EQ(memory_shortage(options, 4, three),
              "not enough memory for graphs on n_vars = 16384 vertices (about 1.3 GiB per "
              "worker thread); choose a smaller n_vars or fewer --threads; --threads 3 fits in "
              "the 4.5 GiB free by MemAvailable");
    const std::vector<MemoryLimit> none{{"under the address-space limit", 0.5 * per_worker, 0}};
    EXPECT_EQ(memory_shortage(options, 1, none),
              "not enough memory for graphs on n_vars = 16384 vertices (about 1.3 GiB per "
              "worker thread); choose a smaller n_vars or fewer --threads; not even one worker "
              "thread fits in the 0.64 GiB free under the address-space limit");
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
    const Options options = walk(6, 200);
    EXPECT_EQ(memory_needed(options, 1024).threads, 200);
    EXPECT_EQ(memory_needed(options, 1024).workers, 200);
    EXPECT_EQ(memory_needed(walk(6, 10), 1024).threads, 10);
    const double per_thread = 72.0 * 1024 * 1024;
    const std::vector<MemoryLimit> limits{{"under the address-space limit", 4e9, per_thread}};
    const auto message = memory_shortage(options, 1024, limits);
    ASSERT_TRUE(message);
    EXPECT_NE(message->find("about 0.07 GiB per worker thread"), std::string::npos) << *message;
    EXPECT_NE(message->find("--threads 52 fits"), std::string::npos) << *message;
    EXPECT_FALSE(memory_shortage(options, 52, limits));
}

}  // namespace
}  // namespace pellimor
