#pragma once

// Simplicial elimination: decides whether the lines of a graph form a chordal
// graph, by removing vertices whose remaining line neighbours are pairwise
// adjacent until none is left or no vertex qualifies.

#include <span>

#include "graph/edge_matrix.hpp"

namespace pellimor {

// m holds lines only (cells EDGE_NONE or EDGE_LINE). Returns 1 when every
// vertex could be eliminated (the lines are chordal), 0 otherwise.
int eliminate_simplicial(const EdgeMatrix& m);

// 1 when the remaining line neighbours of v are pairwise adjacent, else 0.
// eliminated[u] is 1 for vertices already removed, 0 for remaining ones.
int is_simplicial(int v, const EdgeMatrix& m, std::span<const int> eliminated);

}  // namespace pellimor
