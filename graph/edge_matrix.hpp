#pragma once

// The edge matrix: one mixed graph on n labelled vertices 0 .. n-1, held as an
// n x n matrix of edge codes. Every routine that reads or changes a graph does
// so through this representation.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pellimor {

// The value of one cell [r][c].
enum EdgeCode : std::int32_t {
    EDGE_NONE = 0,   // no edge stored in this cell
    EDGE_ARROW = 1,  // arrow r -> c; the mirror cell [c][r] is EDGE_NONE
    EDGE_LINE = 2,   // undirected edge r - c, stored in both cells
};

// An n x n matrix of EdgeCode cells in one contiguous allocation, all
// EDGE_NONE when constructed (the empty graph). Cells are read and written
// directly: matrix[r][c].
//
// Invariants kept by every change the walk makes: the diagonal is EDGE_NONE,
// an arrow occupies one cell, a line both, so two vertices share at most one
// edge.
class EdgeMatrix {
  public:
    // Throws std::bad_alloc when n * n cells cannot be allocated and
    // std::invalid_argument for a negative n.
    explicit EdgeMatrix(int n);

    int size() const { return n_; }

    EdgeCode* operator[](int row) { return cells_.data() + static_cast<std::size_t>(row) * n_; }
    const EdgeCode* operator[](int row) const {
        return cells_.data() + static_cast<std::size_t>(row) * n_;
    }

    bool operator==(const EdgeMatrix&) const = default;

  private:
    int n_;
    std::vector<EdgeCode> cells_;
};

// x and y are adjacent when either cell between them holds an edge.
inline bool adjacent(const EdgeMatrix& m, int x, int y) {
    return m[x][y] != EDGE_NONE || m[y][x] != EDGE_NONE;
}

}  // namespace pellimor
