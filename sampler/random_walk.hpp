#pragma once

// The random walk of one sample: n_its moves over admissible graphs. Each move
// draws a kind (draw % 7) and, except for stay, two or three vertices
// (draw % n each, in the order x, y, z); it keeps its change only when the
// precondition holds and the changed graph is admissible.

#include <atomic>
#include <cstdint>

#include "graph/edge_matrix.hpp"
#include "sampler/random.hpp"
#include "sampler/sample_run.hpp"

namespace pellimor {

// Per MoveKind: stay draws, and kept changes of the other kinds.
struct MoveCounts {
    std::int64_t kept[move_kind_count] = {};
};

// Performs n_its moves on m, which must be admissible, drawing from rng and
// adding to counts. Every move is judged by the incremental test, or by the
// complete is_admissible when full_check is set; both give the same answers,
// so the same stream yields the same walk. Returns false when `stop` became
// true before the walk finished (checked every few thousand moves).
bool run_walk(EdgeMatrix& m, Xoshiro256StarStar& rng, int n_its, bool full_check,
              MoveCounts& counts, const std::atomic<bool>* stop = nullptr);

}  // namespace pellimor
