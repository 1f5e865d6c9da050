#pragma once

// What one Markov equivalence class looks like, beyond its two flags: its
// edges, lines (undirected edges) and arrows (directed edges), its vees
// (v-structures x -> z <- y with x, y not adjacent), its chain components
// (the connected components of the lines) and its size s, the number of
// DAGs it holds.
//
// Two routes give the same numbers: from a DAG of the class with its
// essential graph (the exact sampler, which has both at hand), and from an
// essential graph as an edge matrix (the walk). Both take s from the same
// class-size counter (graph/class_size.hpp).

#include <cstdint>
#include <vector>

#include "graph/bit_rows.hpp"
#include "graph/class_size.hpp"
#include "graph/edge_matrix.hpp"
#include "graph/essential_graph.hpp"
#include "graph/ordered_dag.hpp"

namespace pellimor {

struct ClassStatistics {
    std::int64_t edges = 0;   // adjacent pairs
    std::int64_t lines = 0;   // undirected edges
    std::int64_t arrows = 0;  // directed edges
    std::int64_t vees = -1;   // v-structures; -1 when not counted
    // Chain components with at least two vertices, and the vertices of the
    // largest chain component (1 when there is no line, 0 without vertices).
    std::int32_t chain_components = 0;
    std::int32_t largest_chain_component = 0;
    // s, the DAGs in the class: exact below 2^53, +inf past the range of a
    // double, where log10_size still holds its base-10 logarithm (+inf only
    // when a single chain component that is not a clique overflows).
    double size = 1;
    double log10_size = 0;
};

// One per worker: scratch for graphs on n vertices, allocated once.
class ClassStatisticsCounter {
  public:
    explicit ClassStatisticsCounter(int n);

    int size() const { return n_; }

    // The class of dag (vertices in topological numbering) whose essential
    // graph is eg and whose size s is already known. Reads only the DAG's
    // parent rows and the essential graph's lines (line_count, line_heads and
    // the reversible rows of those heads). Vees only when count_vees: they
    // cost O(edges * n / 64) word operations.
    void of_dag(const OrderedDag& dag, const EssentialGraph& eg, double size, bool count_vees,
                ClassStatistics& out);

    // The class of the essential graph m, its size from `sizes` (which must
    // be for m.size() vertices). Allocates three rows of bits per vertex on
    // first use, and a fourth the first time a class size overflows.
    void of_matrix(const EdgeMatrix& m, ClassSizeCounter& sizes, bool count_vees,
                   ClassStatistics& out);

  private:
    // Chain components of the lines added with join(); resets what it used.
    void join(int u, int v);
    int find(int v);
    void count_components(ClassStatistics& out);
    double log10_size_by_components(ClassSizeCounter& sizes);

    int n_;
    int words_;
    std::vector<int> parent_;      // union-find over vertices; -size at a root
    std::vector<int> touched_;     // vertices joined since the last count
    std::vector<Word> parents_;    // matrix route: n rows of arrow tails
    std::vector<Word> adjacent_;   // matrix route: n rows of neighbours
    std::vector<Word> lines_;      // matrix route: n rows of line neighbours
    std::vector<Word> component_;  // matrix route, past the double range: one component's lines
};

}  // namespace pellimor
