#include "graph/vertex_rows.hpp"

#include <algorithm>

namespace pellimor {

void VertexRows::assign(const EdgeMatrix& m) {
    n_ = m.size();
    words_ = words_for(n_);
    rows_.assign(static_cast<std::size_t>(n_) * ROW_KINDS * words_, Word{0});
    auto row_of = [&](RowKind kind, int v) {
        return rows_.data() + (static_cast<std::size_t>(v) * ROW_KINDS + kind) * words_;
    };
    for (int r = 0; r < n_; ++r) {
        set_bit(row_of(ADJACENT, r), r);
        for (int c = 0; c < n_; ++c) {
            if (m[r][c] == EDGE_ARROW) {
                set_bit(row_of(CHILDREN, r), c);
                set_bit(row_of(PARENTS, c), r);
            } else if (m[r][c] == EDGE_LINE) {
                set_bit(row_of(LINES, r), c);
            }
            if (m[r][c] != EDGE_NONE) {
                set_bit(row_of(ADJACENT, r), c);
                set_bit(row_of(ADJACENT, c), r);
            }
        }
    }
}

bool VertexRows::consistent_with(const EdgeMatrix& m) const {
    if (m.size() != n_) {
        return false;
    }
    // Each word of each row against the cells it stands for.
    for (int v = 0; v < n_; ++v) {
        for (int w = 0; w < words_; ++w) {
            Word expected[ROW_KINDS] = {};
            for (int c = w * word_bits; c < std::min(n_, (w + 1) * word_bits); ++c) {
                expected[PARENTS] |= m[c][v] == EDGE_ARROW ? bit_of(c) : 0;
                expected[CHILDREN] |= m[v][c] == EDGE_ARROW ? bit_of(c) : 0;
                expected[LINES] |= m[v][c] == EDGE_LINE ? bit_of(c) : 0;
                expected[ADJACENT] |= c == v || adjacent(m, v, c) ? bit_of(c) : 0;
            }
            for (int kind = 0; kind < ROW_KINDS; ++kind) {
                if (row(static_cast<RowKind>(kind), v)[w] != expected[kind]) {
                    return false;
                }
            }
        }
    }
    return true;
}

}  // namespace pellimor
