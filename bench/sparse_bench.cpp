// The exact method for classes with E = round(D n / 2) edges, one thread:
// kept classes per second (targets: 1000 at n = 50 and 200 at n = 100 with
// D = 8), DAGs with E edges per second, and weighted proposals per DAG.
// Refuses to report a rate when a kept class has another edge count.
//
//   build-bench/bench/sparse_bench --benchmark_filter=SparseDrawClass

#include <benchmark/benchmark.h>

#include <cmath>

#include "sampler/sparse_exact_sampler.hpp"

namespace pellimor {
namespace {

void BM_SparseDrawClass(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const auto degree = static_cast<double>(state.range(1));
    const auto edges = static_cast<std::int64_t>(std::llround(degree * n / 2));
    const SparseSetup setup = make_sparse_setup(n, EdgeBound::exactly(edges));
    SparseExactSampler sampler(setup);
    Xoshiro256StarStar rng(sample_stream(5, static_cast<std::uint64_t>(n)));
    double dags = 0;
    SampleResult result;
    for (auto _ : state) {
        sampler.draw_class(rng, result);
        if (result.classes.edges != edges) {
            state.SkipWithError("a kept class has another number of edges");
            return;
        }
        dags += static_cast<double>(result.dags_drawn);
    }
    state.counters["classes/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["DAGs/s"] = benchmark::Counter(dags, benchmark::Counter::kIsRate);
    state.counters["DAGs/class"] = dags / static_cast<double>(state.iterations());
    state.counters["proposals/DAG"] = static_cast<double>(sampler.proposals()) / dags;
}

BENCHMARK(BM_SparseDrawClass)->ArgsProduct({{20, 50, 100}, {4, 8}})->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace pellimor

BENCHMARK_MAIN();
