#pragma once

// The random walk of one sample: n_its moves over admissible graphs. Each move
// draws a kind (draw % 7) and, except for stay, two or three vertices
// (draw % n each, in the order x, y, z); it keeps its change only when the
// precondition holds and the changed graph is admissible (graph/moves.hpp).

#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

#include "graph/edge_bound.hpp"
#include "graph/edge_matrix.hpp"
#include "graph/incremental_admissibility.hpp"
#include "graph/moves.hpp"  // move_kind_count
#include "sampler/random.hpp"

namespace pellimor {

// Per MoveKind: stay draws, and kept changes of the other kinds.
struct MoveCounts {
    std::int64_t kept[move_kind_count] = {};
};

// The walk's graph halfway: after exactly n_its / 2 moves.
struct WalkMidpoint {
    bool no_lines = true;
    std::int64_t lines = 0;
};

// What one thread's walks keep from one walk to the next, so that the walks
// after the first (on no more vertices) allocate nothing: the incremental
// test's rows and vertex order, and the scratch of the final graph's
// connectedness.
struct WalkScratch {
    std::optional<IncrementalAdmissibility> judge;
    std::vector<char> marked;
};

// Performs n_its moves on m, which must be admissible, drawing from rng and
// adding to counts. Every move is judged by the incremental test, or by the
// complete is_admissible when full_check is set; both give the same answers,
// so the same stream yields the same walk. Returns false when `stop` became
// true before the walk finished (checked every few thousand moves). With a
// `midpoint`, records there the graph after n_its / 2 moves (0 moves when
// n_its <= 1); the walk, its draws and its counts are the same either way.
// Under a bound of at most E edges, a move whose changed graph would have
// more than E edges (lines and arrows) is rejected like an inadmissible one:
// it changes and counts nothing. Moves are still proposed symmetrically, so
// the walk is uniform over the admissible graphs with at most E edges; m must
// have at most that many. (A walk cannot keep exactly E edges.) With a
// `scratch`, the incremental test lives there between walks; the walk is the
// same either way.
bool run_walk(EdgeMatrix& m, Xoshiro256StarStar& rng, int n_its, bool full_check,
              MoveCounts& counts, const std::atomic<bool>* stop = nullptr,
              WalkMidpoint* midpoint = nullptr, EdgeBound bound = {},
              WalkScratch* scratch = nullptr);

}  // namespace pellimor
