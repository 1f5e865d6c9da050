#pragma once

// The essential graph of a DAG: which arrows of the DAG are compelled (the
// same in every DAG of its Markov equivalence class, so they stay arrows) and
// which are reversible (they become lines).
//
// Chickering's compelled/reversible labelling ("A transformational
// characterization of equivalent Bayesian network structures", UAI 1995) in
// a lazy form that writes next to nothing. One pass over the vertices in the
// DAG's own topological numbering decides for each vertex v either
//  - that no arrow into v is reversible: v has no lines, and its compelled
//    parents are its parents, the DAG's own row; or
//  - that its compelled parents are those of its highest parent x (Chickering:
//    each compelled w -> x gives w -> y compelled, every other arrow into y
//    reversible), so compelled(v) is the row compelled(x) points to, and only
//    v's reversible parents, parents(v) \ compelled(x), get a row of their own.
// A random DAG has lines at two or three vertices, so a build reads each
// vertex's top parent word and, mostly, one word of two parent rows, and
// writes a few ints per vertex; FullEssentialGraph holds the same graph as two
// full rows per vertex.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "graph/bit_rows.hpp"
#include "graph/edge_matrix.hpp"
#include "graph/ordered_dag.hpp"

namespace pellimor {

class EssentialGraph {
  public:
    // Allocates the per-vertex marks for n vertices and room for the rows of
    // a few vertices with lines.
    explicit EssentialGraph(int n);

    // The memory an EssentialGraph for n vertices takes when built.
    static std::size_t bytes_needed(int n);

    // Labels every arrow of dag, which must have size() vertices. Keeps a
    // pointer to dag: the rows read below are dag's, so dag must stay as it
    // is while this graph is read. Allocates only when dag has more vertices
    // with lines than any DAG built before (the room for their rows doubles).
    void build(const OrderedDag& dag);

    int size() const { return n_; }
    int words() const { return words_; }

    // Parents u of v whose arrow u -> v is compelled: an arrow of the
    // essential graph. Only bits u < v are set; the row is one of the DAG's
    // parent rows (that of v itself when v has no lines).
    const Word* compelled(int v) const { return dag_->parents(compelled_from_[v]); }
    // The vertex whose DAG parents are v's compelled parents: v itself
    // exactly when v has no lines, else one of v's ancestors.
    int compelled_from(int v) const { return compelled_from_[v]; }

    // Parents u of v whose arrow u -> v is reversible: a line u - v of the
    // essential graph. Only bits u < v are set; an empty row for a vertex
    // without lines. compelled(v) and reversible(v) are disjoint and together
    // make the dag's parents(v).
    const Word* reversible(int v) const {
        const int r = line_row_[v];
        return r < 0 ? zero_row_.data() : line_rows_.data() + static_cast<std::size_t>(r) * words_;
    }
    bool has_lines(int v) const { return line_row_[v] >= 0; }

    // Number of reversible arrows, that is of lines of the essential graph.
    std::int64_t line_count() const { return line_count_; }

    // One row: the vertices v with at least one reversible arrow into them
    // (reversible(v) non-empty), so that callers visit only those.
    const Word* line_heads() const { return line_heads_.data(); }
    // How many vertices line_heads() holds.
    int line_head_count() const { return line_head_count_; }

    // One row: the DAG's sources (vertices without parents), and how many
    // there are. Every vertex descends from a source.
    const Word* sources() const { return sources_.data(); }
    int source_count() const { return source_count_; }

  private:
    void build_one_word(const OrderedDag& dag);

    int n_;
    int words_;
    const OrderedDag* dag_ = nullptr;
    std::int64_t line_count_ = 0;
    int line_head_count_ = 0;
    int source_count_ = 0;
    std::vector<int> compelled_from_;
    std::vector<int> line_row_;  // per vertex: its row in line_rows_, or -1
    std::vector<Word> line_rows_;
    std::vector<Word> zero_row_;
    std::vector<Word> line_heads_;
    std::vector<Word> sources_;
};

// Writes the essential graph into m (size() vertices; every cell is
// overwritten) with vertex v of the dag written as vertex perm[v]: a
// compelled u -> v becomes m[perm[u]][perm[v]] = EDGE_ARROW, a reversible one
// the line perm[u] - perm[v]. perm must be a permutation of 0 .. size()-1.
void write_essential_graph(const EssentialGraph& eg, std::span<const int> perm, EdgeMatrix& m);

// The same with the identity labelling.
void write_essential_graph(const EssentialGraph& eg, EdgeMatrix& m);

}  // namespace pellimor
