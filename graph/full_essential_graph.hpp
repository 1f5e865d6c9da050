#pragma once

// The essential graph of a DAG with two full bitset rows per vertex, its
// compelled and its reversible parents: the plain form, against which the
// lazy EssentialGraph (graph/essential_graph.hpp) that the samplers use is
// tested.
//
// Chickering's compelled/reversible labelling ("A transformational
// characterization of equivalent Bayesian network structures", UAI 1995), in
// bitset form: one pass over the vertices in the DAG's own topological
// numbering, whole-word set algebra on the parent rows, O(n * words) in all.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "graph/bit_rows.hpp"
#include "graph/ordered_dag.hpp"

namespace pellimor {

class FullEssentialGraph {
  public:
    // Allocates the rows for n vertices; build() then allocates nothing.
    explicit FullEssentialGraph(int n);

    // Labels every arrow of dag, which must have size() vertices. Allocates
    // nothing.
    void build(const OrderedDag& dag);

    int size() const { return n_; }
    int words() const { return words_; }

    // Parents u of v whose arrow u -> v is compelled: an arrow of the
    // essential graph. Only bits u < v are set.
    const Word* compelled(int v) const {
        return compelled_.data() + static_cast<std::size_t>(v) * words_;
    }
    // Parents u of v whose arrow u -> v is reversible: a line u - v of the
    // essential graph. Only bits u < v are set. compelled(v) and reversible(v)
    // are disjoint and together make the dag's parents(v).
    const Word* reversible(int v) const {
        return reversible_.data() + static_cast<std::size_t>(v) * words_;
    }

    // Number of reversible arrows, that is of lines of the essential graph.
    std::int64_t line_count() const { return line_count_; }

    // One row: the vertices v with at least one reversible arrow into them
    // (reversible(v) non-empty), so that callers visit only those.
    const Word* line_heads() const { return line_heads_.data(); }

  private:
    int n_;
    int words_;
    std::int64_t line_count_ = 0;
    std::vector<Word> compelled_;
    std::vector<Word> reversible_;
    std::vector<Word> line_heads_;
};

}  // namespace pellimor
