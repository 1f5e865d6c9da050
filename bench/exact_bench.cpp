// The exact sampler's costs per DAG: the draw alone, the essential graph
// alone and the class size alone (each on inputs prepared beforehand), the
// whole draw_class(), and the one-off table build.
//
// Each benchmark checks a cheap invariant of what it computes inside the
// loop, or a statistic of it at the end, and refuses to report a rate for
// wrong answers.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "sampler/exact_sampler.hpp"

namespace pellimor {
namespace {

const DagCounts& tables_for(int n) {
    static std::vector<std::unique_ptr<DagCounts>> built;
    for (const auto& t : built) {
        if (t->size() == n) {
            return *t;
        }
    }
    built.push_back(std::make_unique<DagCounts>(n));
    return *built.back();
}

// Enough inputs to leave the caches at large n, within about 32 MB of rows.
int pool_size(int n) {
    const double row_bytes = static_cast<double>(n) * words_for(n) * sizeof(Word);
    return static_cast<int>(std::clamp(std::floor(33554432.0 / row_bytes), 2.0, 64.0));
}

std::vector<OrderedDag> drawn_dags(int n, int count) {
    const DagCounts& tables = tables_for(n);
    UniformDag sampler(tables);
    Xoshiro256StarStar rng(sample_stream(7, static_cast<std::uint64_t>(n)));
    std::vector<OrderedDag> dags;
    for (int i = 0; i < count; ++i) {
        dags.emplace_back(n);
        sampler.draw(rng, dags.back());
    }
    return dags;
}

int row_parents(const OrderedDag& dag, int v) {
    int count = 0;
    for (int w = 0; w < dag.words(); ++w) {
        count += std::popcount(dag.parents(v)[w]);
    }
    return count;
}

void BM_DrawDag(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    UniformDag sampler(tables_for(n));
    OrderedDag dag(n);
    Xoshiro256StarStar rng(sample_stream(1, static_cast<std::uint64_t>(n)));
    // The last vertex has each other vertex as parent with probability
    // close to 1/2 (exactly 1/2 outside its own layer and the one before).
    double last_parents = 0;
    for (auto _ : state) {
        sampler.draw(rng, dag);
        last_parents += row_parents(dag, n - 1);
        benchmark::ClobberMemory();
    }
    const double share = last_parents / static_cast<double>(state.iterations()) / (n - 1);
    if (std::abs(share - 0.5) > 0.1) {
        state.SkipWithError("the last vertex's parents are not about half the vertices");
    }
    state.counters["DAGs/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_EssentialGraph(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const auto dags = drawn_dags(n, pool_size(n));
    EssentialGraph eg(n);
    std::size_t next = 0;
    for (auto _ : state) {
        const OrderedDag& dag = dags[next];
        next = next + 1 == dags.size() ? 0 : next + 1;
        eg.build(dag);
        // Compelled and reversible arrows split the parents of each vertex.
        const int v = n - 1;
        for (int w = 0; w < dag.words(); ++w) {
            if ((eg.compelled(v)[w] | eg.reversible(v)[w]) != dag.parents(v)[w] ||
                (eg.compelled(v)[w] & eg.reversible(v)[w]) != 0) {
                state.SkipWithError("compelled and reversible do not split the parents");
                return;
            }
        }
        benchmark::DoNotOptimize(eg.line_count());
    }
    state.counters["DAGs/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// The skeleton's connectivity: range(1) = 0 the plain sweeps from vertex 0,
// 1 the sweeps that stop once every source is reached (sources found by the
// essential graph beforehand).
void BM_Connectivity(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const bool by_sources = state.range(1) != 0;
    const auto dags = drawn_dags(n, pool_size(n));
    std::vector<std::vector<Word>> sources;
    std::vector<int> source_counts;
    EssentialGraph eg(n);
    for (const auto& dag : dags) {
        eg.build(dag);
        sources.emplace_back(eg.sources(), eg.sources() + dag.words());
        source_counts.push_back(eg.source_count());
    }
    std::vector<Word> reached(static_cast<std::size_t>(words_for(n)));
    std::size_t next = 0;
    double connected = 0;
    for (auto _ : state) {
        const std::size_t i = next;
        next = next + 1 == dags.size() ? 0 : next + 1;
        connected += by_sources ? skeleton_connected(dags[i], sources[i].data(), source_counts[i],
                                                     reached.data())
                                : skeleton_connected(dags[i], reached.data());
    }
    // A uniform DAG on 40 or more vertices is connected but for a share of
    // order n 2^-n.
    if (connected != static_cast<double>(state.iterations())) {
        state.SkipWithError("a uniform DAG came out disconnected");
    }
    state.counters["DAGs/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_ClassSize(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const auto dags = drawn_dags(n, pool_size(n) / 2 + 1);
    std::vector<EssentialGraph> graphs;
    for (const auto& dag : dags) {
        graphs.emplace_back(n);
        graphs.back().build(dag);
    }
    ClassSizeCounter counter(n);
    std::size_t next = 0;
    for (auto _ : state) {
        const EssentialGraph& eg = graphs[next];
        next = next + 1 == graphs.size() ? 0 : next + 1;
        const double s = counter.class_size(eg);
        // One DAG exactly when there is no line; otherwise at least two.
        if (!(s >= 1) || (s == 1) != (eg.line_count() == 0)) {
            state.SkipWithError("class size disagrees with the line count");
            return;
        }
    }
    state.counters["DAGs/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_DrawClass(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    ExactSampler sampler(tables_for(n));
    Xoshiro256StarStar rng(sample_stream(3, static_cast<std::uint64_t>(n)));
    double dags = 0;
    SampleResult result;
    for (auto _ : state) {
        if (!sampler.draw_class(rng, result)) {
            state.SkipWithError("draw_class stopped without a stop flag");
            return;
        }
        dags += static_cast<double>(result.dags_drawn);
    }
    // The classes per DAG tend to about 0.27; only a few thousand draws are
    // timed at large n, so allow a wide band.
    const double classes_per_dag = static_cast<double>(state.iterations()) / dags;
    if (state.iterations() >= 200 && std::abs(classes_per_dag - 0.27) > 0.1) {
        state.SkipWithError("the share of DAGs kept is far from 0.27");
    }
    state.counters["DAGs/s"] = benchmark::Counter(dags, benchmark::Counter::kIsRate);
    state.counters["classes/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["kept/DAG"] = classes_per_dag;
}

void BM_BuildTables(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    double log_count = 0;
    for (auto _ : state) {
        // (DoNotOptimize on a double lost its value with this GCC and
        // benchmark version; on the object it is kept.)
        const DagCounts tables(n);
        benchmark::DoNotOptimize(tables);
        log_count = tables.log_dag_count(n);
    }
    // log a(n) = n(n-1)/2 log 2 + log n! + O(n); the O(n) part is near
    // -0.40 n (b(n) decays like 1.488^-n).
    const double leading = 0.5 * n * (n - 1.0) * std::log(2.0) + std::lgamma(n + 1.0);
    if (std::abs((log_count - leading) / n + std::log(1.488)) > 0.01) {
        state.SkipWithError("log a(n) is off its asymptotic form");
    }
    state.counters["bytes"] = static_cast<double>(DagCounts::bytes_needed(n));
    state.counters["worker bytes"] = static_cast<double>(ExactSampler::bytes_per_worker(n));
}

BENCHMARK(BM_DrawDag)->Arg(40)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EssentialGraph)
    ->Arg(40)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Connectivity)
    ->ArgsProduct({{40, 100, 1000, 10000}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ClassSize)->Arg(40)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawClass)->Arg(40)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BuildTables)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pellimor

BENCHMARK_MAIN();
