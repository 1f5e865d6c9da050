#pragma once

// The vertex rows of a mixed graph: for every vertex four bitset rows, its
// parents, children, line neighbours and adjacent vertices (itself included),
// stored side by side so that one vertex's rows share one address step.
// RowsView reads and changes them at a row width fixed at compile time.

#include <cstddef>
#include <vector>

#include "graph/bit_rows.hpp"
#include "graph/edge_matrix.hpp"

namespace pellimor {

class VertexRows {
  public:
    enum RowKind : int { PARENTS = 0, CHILDREN = 1, LINES = 2, ADJACENT = 3, ROW_KINDS = 4 };

    // The rows of the graph in m.
    explicit VertexRows(const EdgeMatrix& m) { assign(m); }

    // The rows of the graph in m instead, in the memory the rows have when
    // m has no more vertices than before.
    void assign(const EdgeMatrix& m);

    int size() const { return n_; }
    int words() const { return words_; }

    // Row `kind` of vertex v starts at word (v * ROW_KINDS + kind) * words().
    // ADJACENT holds v itself, so "not adjacent" also means "distinct".
    const Word* data() const { return rows_.data(); }
    Word* data() { return rows_.data(); }
    const Word* row(RowKind kind, int v) const {
        return rows_.data() + (static_cast<std::size_t>(v) * ROW_KINDS + kind) * words_;
    }
    bool has(RowKind kind, int v, int u) const { return test_bit(row(kind, v), u); }

    // True when the rows describe exactly the graph in m (bits past n - 1
    // clear). Costs O(n^2).
    bool consistent_with(const EdgeMatrix& m) const;

  private:
    int n_ = 0;
    int words_ = 0;
    std::vector<Word> rows_;
};

// The rows at FixedWords words each (1 to 5), or at the width the rows have
// (FixedWords 0). A view is a pointer and a width: cheap to make per move.
template <int FixedWords>
struct RowsView {
    Word* rows;
    int width;

    explicit RowsView(VertexRows& r) : rows(r.data()), width(r.words()) {}

    int words() const {
        if constexpr (FixedWords > 0) {
            return FixedWords;
        } else {
            return width;
        }
    }

    Word* row(int kind, int v) const {
        return rows + static_cast<std::size_t>(v) * (VertexRows::ROW_KINDS * words()) +
               kind * words();
    }
    Word* pa(int v) const { return row(VertexRows::PARENTS, v); }
    Word* ch(int v) const { return row(VertexRows::CHILDREN, v); }
    Word* ln(int v) const { return row(VertexRows::LINES, v); }
    Word* adj(int v) const { return row(VertexRows::ADJACENT, v); }

    void link_arrow(int x, int y) const {
        set_bit(ch(x), y);
        set_bit(pa(y), x);
        link_adjacent(x, y);
    }
    void unlink_arrow(int x, int y) const {
        clear_bit(ch(x), y);
        clear_bit(pa(y), x);
        unlink_adjacent(x, y);
    }
    void link_line(int x, int y) const {
        set_bit(ln(x), y);
        set_bit(ln(y), x);
        link_adjacent(x, y);
    }
    void unlink_line(int x, int y) const {
        clear_bit(ln(x), y);
        clear_bit(ln(y), x);
        unlink_adjacent(x, y);
    }

  private:
    void link_adjacent(int x, int y) const {
        set_bit(adj(x), y);
        set_bit(adj(y), x);
    }
    void unlink_adjacent(int x, int y) const {
        clear_bit(adj(x), y);
        clear_bit(adj(y), x);
    }
};

}  // namespace pellimor
