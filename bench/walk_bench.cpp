// Walk moves per second, incremental test against the complete one.
//
// Every benchmark starts from the same warmed-up graph for its n (a long
// incremental walk from the empty graph, so the graph looks like a sample and
// not like the empty start) and walks on with one generator. The two judges
// give the same answers, so both walk the same path; the set-up checks that
// they do on a stretch of moves and refuses to time a judge that disagrees.

#include <benchmark/benchmark.h>

#include <map>
#include <stdexcept>
#include <string>

#include "graph/matrix_queries.hpp"
#include "sampler/random_walk.hpp"

namespace pellimor {
namespace {

struct WarmStart {
    EdgeMatrix graph;
    Xoshiro256StarStar rng;
};

const WarmStart& warm_start(int n) {
    static std::map<int, WarmStart> starts;
    auto found = starts.find(n);
    if (found == starts.end()) {
        WarmStart start{EdgeMatrix(n), sample_stream(2026, static_cast<std::uint64_t>(n))};
        MoveCounts counts;
        run_walk(start.graph, start.rng, 200 * n * n, false, counts);

        // Both judges over the same stretch must end on the same graph.
        WarmStart fast = start;
        WarmStart full = start;
        MoveCounts fast_counts;
        MoveCounts full_counts;
        const int moves = n <= 40 ? 5000 : 500;
        run_walk(fast.graph, fast.rng, moves, false, fast_counts);
        run_walk(full.graph, full.rng, moves, true, full_counts);
        if (!(fast.graph == full.graph)) {
            throw std::logic_error("incremental and complete tests disagree at n = " +
                                   std::to_string(n));
        }
        found = starts.emplace(n, std::move(start)).first;
    }
    return found->second;
}

void walk_moves(benchmark::State& state, bool full_check) {
    const int n = static_cast<int>(state.range(0));
    WarmStart walk = warm_start(n);
    // Each batch builds the judge afresh, as every sample does; long
    // batches keep that O(n^2) start out of the per-move cost.
    const int batch = full_check ? 20 : 1000000;
    MoveCounts counts;
    for (auto _ : state) {
        run_walk(walk.graph, walk.rng, batch, full_check, counts);
        benchmark::DoNotOptimize(counts);
    }
    state.counters["moves/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * batch,
                                                   benchmark::Counter::kIsRate);
}

void BM_IncrementalWalk(benchmark::State& state) {
    walk_moves(state, false);
}
void BM_FullCheckWalk(benchmark::State& state) {
    walk_moves(state, true);
}

// The walk limited to 2 n edges (mean degree 4), from a graph warmed up by the
// same limited walk: to set beside BM_IncrementalWalk at the same n.
void BM_EdgeLimitedWalk(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::int64_t limit = 2 * static_cast<std::int64_t>(n);
    EdgeMatrix graph(n);
    Xoshiro256StarStar rng = sample_stream(2027, static_cast<std::uint64_t>(n));
    MoveCounts counts;
    run_walk(graph, rng, 200 * n * n, false, counts, nullptr, nullptr, EdgeBound::at_most(limit));
    if (count_edges(graph) > limit) {
        throw std::logic_error("the limited walk went past its limit");
    }
    const int batch = 1000000;
    for (auto _ : state) {
        run_walk(graph, rng, batch, false, counts, nullptr, nullptr, EdgeBound::at_most(limit));
        benchmark::DoNotOptimize(counts);
    }
    state.counters["moves/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * batch,
                                                   benchmark::Counter::kIsRate);
}

BENCHMARK(BM_EdgeLimitedWalk)->Arg(40)->Arg(100)->Arg(200)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IncrementalWalk)
    ->Arg(10)
    ->Arg(20)
    ->Arg(40)
    ->Arg(80)
    ->Arg(100)
    ->Arg(160)
    ->Arg(200)
    ->Arg(320)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullCheckWalk)->Arg(10)->Arg(20)->Arg(40)->Arg(80)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace pellimor

BENCHMARK_MAIN();
