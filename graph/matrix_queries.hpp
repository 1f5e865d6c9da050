#pragma once

// What one graph holds, read off its matrix: its lines, its edges, and
// whether its skeleton (the graph with every edge undirected) is connected.

#include <cstdint>
#include <vector>

#include "graph/edge_matrix.hpp"

namespace pellimor {

// True when no cell of m holds a line.
bool has_no_lines(const EdgeMatrix& m);

// The number of lines of m (each stored in two cells, counted once).
std::int64_t count_lines(const EdgeMatrix& m);

// The number of adjacent pairs of m (lines and arrows).
std::int64_t count_edges(const EdgeMatrix& m);

// True when the skeleton of m is connected (so for n <= 1).
bool is_connected(const EdgeMatrix& m);
// The same with the caller's scratch, which allocates only when it grows.
bool is_connected(const EdgeMatrix& m, std::vector<char>& marked);

}  // namespace pellimor
