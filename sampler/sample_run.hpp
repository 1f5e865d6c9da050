#pragma once

// One sample: a random walk of n_its moves from the empty graph, the seven
// move rates it achieved, and two flags computed on the graph it reached.

#include <atomic>
#include <cstdint>

#include "graph/class_statistics.hpp"
#include "graph/edge_bound.hpp"
#include "graph/edge_matrix.hpp"
#include "graph/moves.hpp"  // MoveKind, move_kind_count
#include "sampler/random.hpp"
#include "sampler/random_walk.hpp"  // WalkScratch

namespace pellimor {

// How every sample of a run is drawn.
struct Settings {
    int n_vars = 1;             // vertices of each graph
    int n_its = 0;              // moves of each walk
    bool full_check = false;    // judge every move with the complete test
    EdgeBound edge_bound = {};  // none, or at most E edges
};

// What one sample yields. Both methods fill the flags and the line count of
// the sample's graph; each fills its own group of the rest and leaves the
// other group at zero.
struct SampleResult {
    // Per MoveKind: the moves of that kind that changed the graph (for stay:
    // that were drawn), divided by n_its. Not a number when n_its is 0.
    double rates[move_kind_count] = {};
    int no_lines = 0;        // 1 when the final graph has no line
    int connected = 0;       // 1 when the skeleton of the final graph is connected
    std::int64_t lines = 0;  // lines (undirected edges) of the final graph

    // The walk: the graph after n_its / 2 moves, for the check that the
    // second half of the walk did not change what the sample says.
    int half_no_lines = 0;
    std::int64_t half_lines = 0;

    // The exact method: the DAGs drawn until this class was kept (the kept
    // one included), and sums over all of them, kept or not, of 1/s, of
    // [s = 1] and of [connected]/s, where s is the size of a DAG's class.
    std::int64_t dags_drawn = 0;
    double inverse_size_sum = 0;
    double single_dag_count = 0;
    double connected_weight = 0;

    // The class of the sample's graph, for both methods; filled by the
    // sampling engine's workers (sample_methods.hpp), left at its defaults
    // by run_sample and walk_sample.
    ClassStatistics classes;
};

// Runs sample `sample_number` of the run seeded with `run_seed`: the walk
// draws from sample_stream(run_seed, sample_number). When `stop` becomes true
// the walk ends early and the result must be discarded.
// Throws std::bad_alloc when the graph does not fit in memory.
SampleResult run_sample(const Settings& settings, std::uint64_t run_seed,
                        std::uint64_t sample_number, const std::atomic<bool>* stop = nullptr);

// The walk of one sample from the admissible graph in m, drawing from rng:
// n_its moves, then the rates and flags of the graph reached (left in m),
// and its graph after n_its / 2 moves. When `stop` becomes true the walk
// ends early and the result must be discarded. With a `scratch` (one per
// thread), the walks after the first allocate nothing.
SampleResult walk_sample(const Settings& settings, EdgeMatrix& m, Xoshiro256StarStar& rng,
                         const std::atomic<bool>* stop = nullptr, WalkScratch* scratch = nullptr);

}  // namespace pellimor
