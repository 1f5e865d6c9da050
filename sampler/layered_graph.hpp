#pragma once

// The essential graph of a layered proposal, built level by level from the
// bottom with the attachment rule, and the canonicity test that keeps one
// object per essential graph.
//
// Attachment rule (proved in counts/edge_counts.cpp): a piece with row X
// above an essential graph H joins the chain component s of H when
// X = P(s) u K for a non-empty clique K of s's lines (lines to K, arrows from
// P(s)); otherwise it becomes a chain component of its own with parents X.
// To find s it is enough to try the component of each vertex of X: P(s) must
// lie in X and the rest of X inside s, pairwise joined by lines.
//
// Canonicity. The object is canonical when each level is the set of all
// removable vertices of the graph of the levels from it down. Adding a level
// of removable vertices never makes a vertex of H removable that was not
// (its children and its line neighbours stay), and a level's own vertices
// are removable, so only the level just below needs checking: a vertex w of
// it was removable in H, and stays so exactly when it gets no child and no
// new line neighbour apart from its old ones: when exactly one piece touches
// it, that piece joins w's component, and its K is w with all of w's line
// neighbours (K is a clique of lines holding w, so it lies in that set; the
// new vertices are joined to K alone, and pieces are never joined to each
// other). Such an object is not canonical.
//
// The graph also gives a DAG of the class: each new vertex with parents X
// and the vertices of its piece added before it. Its arrows agree with the
// essential graph's, and inside each chain component the new vertex is a
// sink whose neighbours there (K and its piece) form a clique, so the lines
// get an orientation without a directed cycle or a v-structure: the DAG is
// in the class. The order of adding is a topological order.

#include <cstdint>
#include <vector>

#include "graph/ordered_dag.hpp"
#include "sampler/layered_rows.hpp"

namespace pellimor {

class LayeredGraph {
  public:
    // Room for n vertices.
    explicit LayeredGraph(int n);

    void clear();
    int size() const { return static_cast<int>(component_.size()); }

    // Adds a level above the graph: its pieces (in rows' order) get the
    // vertices size(), size() + 1, ..., piece after piece; the level below
    // it is the vertices below_first .. below_first + below_count - 1 (none
    // for the bottom level). Returns false, leaving the graph unusable until
    // clear(), when that level below would keep a removable vertex.
    bool add_level(const LevelRows& rows, int below_first, int below_count);

    // The DAG of the class described above (vertices in the order added).
    void write_dag(OrderedDag& dag) const;

    std::int64_t lines() const { return lines_count_; }
    std::int64_t arrows() const { return arrows_count_; }
    // Whether u - v is a line.
    bool is_line(int u, int v) const;

  private:
    // Where piece p of rows attaches: its component (or -1 for a new one)
    // and the size of K.
    void decide(const LevelRows& rows, int p);
    void attach(const LevelRows& rows, int p, int first_vertex);
    std::uint32_t next_stamp();

    std::vector<int> component_;                  // by vertex
    std::vector<std::vector<int>> parents_;       // by component: P(s)
    std::vector<std::vector<int>> line_lists_;    // by vertex: its line neighbours
    std::vector<int> dag_row_start_;              // by vertex, into dag_rows_
    std::vector<int> dag_rows_;                   // its parents
    std::vector<std::uint32_t> stamp_;            // by vertex
    std::vector<std::uint32_t> component_stamp_;  // by component
    std::uint32_t stamp_now_ = 0;
    std::vector<int> joined_;   // by piece of the level being added: component or -1
    std::vector<int> k_size_;   // by piece: |K|
    std::vector<int> touches_;  // by vertex of the level below
    std::vector<int> toucher_;
    int components_ = 0;
    std::int64_t lines_count_ = 0;
    std::int64_t arrows_count_ = 0;
};

}  // namespace pellimor
