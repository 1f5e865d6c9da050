#pragma once

// Simplicial elimination: decides whether the lines of a graph form a chordal
// graph, by removing vertices whose remaining line neighbours are pairwise
// adjacent until none is left or no vertex qualifies.

#include <span>

#include "graph/edge_matrix.hpp"

namespace pellimor {

// m holds lines only (cells EDGE_NONE or EDGE_LINE). True when every vertex
// could be eliminated (the lines are chordal).
bool eliminate_simplicial(const EdgeMatrix& m);

// True when the remaining line neighbours of v are pairwise adjacent.
// eliminated[u] is 1 for vertices already removed, 0 for remaining ones.
bool is_simplicial(int v, const EdgeMatrix& m, std::span<const int> eliminated);

}  // namespace pellimor
