#pragma once

// Directed layering: decides whether the arrows of a graph contain a directed
// cycle, by rounds of relaxation that assign every vertex a level (the length
// of the longest chain of arrows followed into it). Lines are ignored.

#include <span>

#include "graph/edge_matrix.hpp"

namespace pellimor {

// Overwrites level[0 .. n-1] and returns -1 when the arrows of m contain a
// directed cycle, otherwise the last round processed (>= 0).
// level must hold at least m.size() ints.
int directed_layering(std::span<int> level, const EdgeMatrix& m);

}  // namespace pellimor
