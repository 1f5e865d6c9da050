#pragma once

// A topological order of the arrows of a graph held in vertex rows, kept in
// step as arrows are added: reachability searches bounded by the order, and
// the Pearce-Kelly repair after an arrow that runs against it.

#include <vector>

#include "graph/bit_rows.hpp"
#include "graph/vertex_rows.hpp"

namespace pellimor {

class TopologicalOrder {
  public:
    // An order of the arrows in rows (Kahn's algorithm). Throws
    // std::invalid_argument when the arrows contain a directed cycle.
    explicit TopologicalOrder(const VertexRows& rows) { assign(rows); }

    // The same for rows instead, in the memory the order has when rows have
    // no more vertices than before.
    void assign(const VertexRows& rows);

    // position()[v] is v's place in the order.
    const int* position() const { return position_.data(); }

    // Whether `from` reaches t1 or t2 by arrows, searching only vertices
    // placed before `limit`: a vertex placed at or after limit cannot reach a
    // target placed before it. For targets placed before limit.
    template <int FixedWords>
    bool reaches(RowsView<FixedWords> rows, int from, int t1, int t2, int limit);

    // Repairs the order after the arrow x -> y was linked into rows with y
    // placed before x, when it closes no cycle.
    template <int FixedWords>
    void restore(RowsView<FixedWords> rows, int x, int y);

    // True when every arrow of rows runs forward in the order and position
    // and its inverse agree. Costs O(n^2).
    bool consistent_with(const VertexRows& rows) const;

  private:
    int words_ = 0;
    std::vector<int> position_;
    // vertex_at_[p] is the vertex in place p.
    std::vector<int> vertex_at_;
    // Scratch for the searches: two rows of seen vertices and vertex lists.
    std::vector<Word> seen_;
    std::vector<int> forward_;
    std::vector<int> backward_;
    std::vector<int> places_;
    std::vector<int> parents_left_;  // for assign()
};

}  // namespace pellimor
