#include "run/run_plan.hpp"

#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "sampler/dag_counts.hpp"
#include "sampler/exact_sampler.hpp"
#include "sampler/layered_sampler.hpp"
#include "sampler/sparse_exact_sampler.hpp"
#include "stats/edge_bound_exact.hpp"
#include "walk_request.hpp"

namespace pellimor {
namespace {

using testing::walk;

TEST(MemoryNeeded, WalkHoldsItsMatrixAndJudgeWhileItRunsASample) {
    // 65536 vertices: a 16 GiB matrix and 1024-word rows of bits.
    const MemoryNeed need = memory_needed(walk(65536, 2, 4));
    EXPECT_EQ(need.shared, 0);
    // ... and the statistics of the class it reaches: 4 rows of bits, an
    // int per vertex and the class-size counter's memo.
    const double statistics = 4.0 * 65536 * 1024 * 8 + 4.0 * 65536 + 65536 * 12.0;
    EXPECT_DOUBLE_EQ(need.per_worker,
                     4.0 * 65536 * 65536 + 5.0 * 65536 * 1024 * 8 + 24.0 * 65536 + statistics);
    EXPECT_EQ(need.workers, 2);  // no more workers than samples hold graphs
    EXPECT_EQ(memory_needed(walk(6, 0, 4)).workers, 0);

    RunRequest full = walk(1000, 10, 4);
    full.full_check = true;
    EXPECT_DOUBLE_EQ(
        memory_needed(full).per_worker,
        8.0 * 1000 * 1000 + 4.0 * 1000 + 4.0 * 1000 * 16 * 8 + 4.0 * 1000 + 65536 * 12.0);
    EXPECT_EQ(memory_needed(full).workers, 4);
    // No overflow at the largest n_vars.
    EXPECT_GT(memory_needed(walk(2147483647, 1, 1)).per_worker, 2.1e19);
}

TEST(MemoryNeeded, ExactSamplerInEveryWorkerAndTablesShared) {
    RunRequest exact = walk(10000, 5, 3);
    exact.method = METHOD_EXACT;
    const MemoryNeed need = memory_needed(exact);
    EXPECT_EQ(need.shared, static_cast<double>(DagCounts::bytes_needed(10000)));
    EXPECT_EQ(need.per_worker, static_cast<double>(ExactSampler::bytes_per_worker(10000)));
    EXPECT_EQ(need.workers, 3);

    RunRequest start = walk(10000, 5, 3);
    start.start = WalkStart::EXACT;
    const MemoryNeed both = memory_needed(start);
    EXPECT_EQ(both.shared, need.shared);
    EXPECT_DOUBLE_EQ(both.per_worker,
                     need.per_worker + memory_needed(walk(10000, 1, 3)).per_worker);
    EXPECT_EQ(both.workers, 3);
}

// Runs bounded by edges build the weighted tables and a sparse sampler per
// worker, not the tables and sampler of uniform DAGs.
TEST(MemoryNeeded, BoundedRunsHoldTheWeightedTablesAndSparseSamplers) {
    RunRequest exact = walk(400, 5, 3);
    exact.method = METHOD_EXACT;
    exact.edge_bound = EdgeBound::exactly(800);
    exact.sparse_method = SparseMethod::LAYERED;
    EXPECT_EQ(memory_needed(exact).shared, static_cast<double>(LayeredTable::bytes_needed(400)));
    EXPECT_EQ(memory_needed(exact).per_worker,
              static_cast<double>(LayeredSampler::bytes_per_worker(400)));
    exact.sparse_method = SparseMethod::DAG;
    const MemoryNeed need = memory_needed(exact);
    EXPECT_EQ(need.shared, static_cast<double>(WeightedDagTables::bytes_needed(400)));
    EXPECT_EQ(need.per_worker, static_cast<double>(SparseExactSampler::bytes_per_worker(400, 800)));
    EXPECT_EQ(need.workers, 3);

    RunRequest start = walk(400, 5, 3);
    start.start = WalkStart::EXACT;
    start.edge_bound = EdgeBound::at_most(800);
    const MemoryNeed both = memory_needed(start);
    EXPECT_EQ(both.shared, need.shared);
    EXPECT_DOUBLE_EQ(both.per_worker, need.per_worker + memory_needed(walk(400, 1, 3)).per_worker);
}

// What no run can carry out is refused before anything is built.
TEST(PlanRun, RefusesRequestsNoRunCanCarryOut) {
    RunRequest walk_exactly = walk(10, 5, 1);
    walk_exactly.edge_bound = EdgeBound::exactly(3);
    RunRequest exact_at_most = walk(10, 5, 1);
    exact_at_most.method = METHOD_EXACT;
    exact_at_most.edge_bound = EdgeBound::at_most(3);
    RunRequest beyond_pairs = walk(10, 5, 1);
    beyond_pairs.edge_bound = EdgeBound::at_most(46);
    RunRequest bounded_exact_too_large = walk(501, 5, 1);
    bounded_exact_too_large.method = METHOD_EXACT;
    bounded_exact_too_large.edge_bound = EdgeBound::exactly(501);
    bounded_exact_too_large.sparse_method = SparseMethod::DAG;
    RunRequest layered_too_large = bounded_exact_too_large;
    layered_too_large.n_vars = max_layered_vars + 1;
    layered_too_large.sparse_method = SparseMethod::AUTO;
    RunRequest layered_without_edges = walk(10, 5, 1);
    layered_without_edges.method = METHOD_EXACT;
    layered_without_edges.edge_bound = EdgeBound::exactly(0);
    layered_without_edges.sparse_method = SparseMethod::LAYERED;
    RunRequest walk_with_method = walk(10, 5, 1);
    walk_with_method.sparse_method = SparseMethod::DAG;
    RunRequest dags_with_method = layered_without_edges;
    dags_with_method.method = METHOD_DAGS;
    dags_with_method.edge_bound = EdgeBound::exactly(10);
    for (const RunRequest& request :
         {walk_exactly, exact_at_most, beyond_pairs, bounded_exact_too_large, layered_too_large,
          layered_without_edges, walk_with_method, dags_with_method, walk(0, 5, 1),
          walk(5, 5, 0)}) {
        EXPECT_THROW(plan_run(request), std::invalid_argument)
            << request.n_vars << " vertices, bound " << request.edge_bound.edges;
    }
    beyond_pairs.edge_bound = EdgeBound::at_most(45);
    EXPECT_NO_THROW(plan_run(beyond_pairs));
}

struct MethodCase {
    int n;
    std::int64_t edges;
    SparseMethod asked;
    SparseMethod used;
    SampleMethod method = METHOD_EXACT;
};

void PrintTo(const MethodCase& c, std::ostream* os) {
    *os << "n " << c.n << ", E " << c.edges << ", " << sparse_method_name(c.asked)
        << (c.method == METHOD_DAGS ? ", DAGs" : "");
}

class SparseMethodChoice : public ::testing::TestWithParam<MethodCase> {};

// Classes with E edges come from the sampler asked for, or by default from
// the layered one where E <= n^2 / 56 and its table holds (at n = 300 with
// E = 300 its sums cancel: rejection from DAGs takes over); the statement of
// the cost is that of the sampler used. Uniform DAGs come from the DAG
// sampler whatever E, as the layered one draws no DAG of its classes.
TEST_P(SparseMethodChoice, TheSamplerUsedAndItsCost) {
    const MethodCase c = GetParam();
    RunRequest r = walk(c.n, 10, 1);
    r.method = c.method;
    r.edge_bound = EdgeBound::exactly(c.edges);
    r.sparse_method = c.asked;
    const RunPlan plan = plan_run(r);
    ASSERT_NE(plan.draws(), nullptr);
    EXPECT_EQ(plan.draws()->method(), c.used);
    EXPECT_EQ(plan.draws()->layered() != nullptr, c.used == SparseMethod::LAYERED);
    if (c.method == METHOD_DAGS) {
        return;
    }
    ASSERT_TRUE(plan.cost());
    EXPECT_EQ(plan.cost()->layered, c.used == SparseMethod::LAYERED);
    EXPECT_GT(plan.cost()->expected_seconds, 0);
}

INSTANTIATE_TEST_SUITE_P(
    PlanRun, SparseMethodChoice,
    ::testing::Values(MethodCase{60, 60, SparseMethod::AUTO, SparseMethod::LAYERED},
                      MethodCase{60, 240, SparseMethod::AUTO, SparseMethod::DAG},
                      MethodCase{60, 240, SparseMethod::LAYERED, SparseMethod::LAYERED},
                      MethodCase{60, 60, SparseMethod::DAG, SparseMethod::DAG},
                      MethodCase{300, 300, SparseMethod::AUTO, SparseMethod::DAG},
                      MethodCase{60, 60, SparseMethod::AUTO, SparseMethod::DAG, METHOD_DAGS}));

// The tables for n vertices and `workers` exact samplers, each of which has
// drawn a class: of uniform DAGs, or of DAGs within `bound`.
template <class Tables, class Sampler>
struct Workers {
    template <class... TableArguments>
    Workers(int workers, TableArguments&&... arguments)
        : tables(std::forward<TableArguments>(arguments)...) {
        samplers.reserve(static_cast<std::size_t>(workers));
        for (int i = 0; i < workers; ++i) {
            samplers.emplace_back(tables);
            Xoshiro256StarStar rng(sample_stream(1, static_cast<std::uint64_t>(i)));
            SampleResult result;
            drew = samplers.back().draw_class(rng, result) && drew;
        }
    }
    Tables tables;
    std::vector<Sampler> samplers;
    bool drew = true;
};

bool draw_with_workers(int n, EdgeBound bound, int workers) {
    if (bound.bounded()) {
        return Workers<SparseSetup, SparseExactSampler>(workers, make_sparse_setup(n, bound)).drew;
    }
    return Workers<DagCounts, ExactSampler>(workers, n).drew;
}

// The growth of the peak resident memory of a child process that builds the
// tables for n vertices and `workers` exact samplers that draw a class, in
// bytes; -1 when it could not be measured. Every allocation of a page or
// more is made a mapping of its own, so that all of it is fresh memory,
// counted once touched, and none reuses what the test process freed before;
// a worker for n = 2 of each kind, kept meanwhile, first brings in the
// code's pages, which are no allocation.
double measured_exact_peak(int n, EdgeBound bound, int workers) {
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
        const Workers<DagCounts, ExactSampler> warm_up(1, 2);
        const Workers<SparseSetup, SparseExactSampler> warm_up_bounded(
            1, make_sparse_setup(2, EdgeBound::exactly(1)));
        rusage before{};
        getrusage(RUSAGE_SELF, &before);
        if (warm_up.drew && warm_up_bounded.drew && draw_with_workers(n, bound, workers)) {
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

struct MemoryCase {
    int n;
    EdgeBound bound;
    int workers;
    double low, high;  // the estimate's bounds, as shares of the measured peak
};

void PrintTo(const MemoryCase& c, std::ostream* out) {
    *out << "n " << c.n << ", " << describe_edge_bound(c.bound) << ", " << c.workers << " workers";
}

// The memory check counts what the exact method really holds: the tables and
// the workers' samplers within 10% of the peak memory they take. (Sixteen
// workers at n = 1000: one worker takes about 150 kB and the tables under
// 1 MB, and with four a quarter of a megabyte of other growth, as seen, would
// weigh in.) The weighted tables of a bounded run are allocated as squares
// and filled as triangles (k <= m): the check counts the whole allocation,
// as an address-space limit does, which is up to twice what is touched.
class ExactMemory : public ::testing::TestWithParam<MemoryCase> {};

TEST_P(ExactMemory, EstimateWithinTenPercentOfMeasuredPeak) {
#ifdef PELLIMOR_SANITIZE
    GTEST_SKIP() << "the sanitizers' allocator keeps memory of its own";
#endif
    const auto [n, bound, workers, low, high] = GetParam();
    // A sample for each worker, or fewer threads start.
    RunRequest exact = walk(n, workers, workers);
    exact.method = METHOD_EXACT;
    exact.edge_bound = bound;
    const MemoryNeed need = memory_needed(exact);
    const double estimate = need.shared + need.workers * need.per_worker;
    const double measured = measured_exact_peak(n, bound, workers);
    ASSERT_GT(measured, 0) << "the child process could not measure its memory";
    EXPECT_GE(estimate, low * measured)
        << "estimated " << estimate << " bytes, measured " << measured;
    EXPECT_LE(estimate, high * measured)
        << "estimated " << estimate << " bytes, measured " << measured;
}

INSTANTIATE_TEST_SUITE_P(MemoryNeeded, ExactMemory,
                         ::testing::Values(MemoryCase{1000, {}, 16, 0.9, 1.1},
                                           MemoryCase{10000, {}, 1, 0.9, 1.1},
                                           MemoryCase{400, EdgeBound::exactly(4000), 4, 1, 2}));

}  // namespace
}  // namespace pellimor
