#pragma once

// A Markov equivalence class given by its essential graph: its chain
// components (the connected parts of the lines), each with the exact count
// of its acyclic moral orientations, and the class size, their product. A
// DAG of the class keeps every arrow and orients every line; it is named
// here by a position per vertex, a line u -- v becoming u -> v when u has the
// lower position (positions are compared within a chain component only).

#include <gmpxx.h>

#include <span>
#include <vector>

#include "graph/amo_decomposition.hpp"
#include "graph/mixed_graph.hpp"

namespace pellimor {

class EquivalenceClass {
  public:
    // The class of `essential`, which must be an essential graph (see
    // graph/essential_graph_check.hpp); it is copied.
    explicit EquivalenceClass(MixedGraph essential);

    const MixedGraph& essential() const { return essential_; }

    // Chain components with two or more vertices, in increasing order of
    // their lowest vertex: their vertices (sorted) and their decompositions,
    // whose vertex i is vertices[i].
    int component_count() const { return static_cast<int>(components_.size()); }
    const std::vector<int>& component_vertices(int i) const {
        return components_[static_cast<std::size_t>(i)].vertices;
    }
    const AmoDecomposition& decomposition(int i) const {
        return components_[static_cast<std::size_t>(i)].decomposition;
    }

    // The number of DAGs in the class, exactly, and its base-10 logarithm.
    const mpz_class& size() const { return size_; }
    double log10_size() const;

    // The arrows of the DAG of the class named by `position` (one entry per
    // vertex; only those on lines are read): the essential graph's arrows,
    // then its lines oriented, in their order.
    void orient(std::span<const int> position, std::vector<VertexPair>& arrows) const;

  private:
    struct Component {
        std::vector<int> vertices;
        AmoDecomposition decomposition;
    };

    MixedGraph essential_;
    std::vector<Component> components_;
    mpz_class size_;
};

// The size of the class of the essential graph on n vertices whose lines
// are `lines` (its arrows do not change it), exactly.
mpz_class exact_class_size(int n, std::span<const VertexPair> lines);

}  // namespace pellimor
