#include "graph/edge_matrix.hpp"

#include <new>
#include <stdexcept>

namespace pellimor {

namespace {

std::size_t checked_cell_count(int n) {
    if (n < 0) {
        throw std::invalid_argument("EdgeMatrix: negative vertex count");
    }
    const auto cells = static_cast<std::size_t>(n) * static_cast<std::size_t>(n);
    if (cells > std::vector<EdgeCode>().max_size()) {
        throw std::bad_alloc();
    }
    return cells;
}

}  // namespace

EdgeMatrix::EdgeMatrix(int n) : n_(n), cells_(checked_cell_count(n), EDGE_NONE) {}

}  // namespace pellimor
