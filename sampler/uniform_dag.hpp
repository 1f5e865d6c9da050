#pragma once

// Uniformly random labelled DAGs, drawn layer by layer from the tables of
// DagCounts: the sources first, then each further layer of vertices whose
// parents include at least one vertex of the layer just before it.
//
// Vertices are numbered layer by layer, which is a topological numbering, so
// a draw fills an OrderedDag directly. The DAG so drawn is uniform up to its
// labels: applying a uniform random permutation of the vertices makes it a
// uniform labelled DAG. Class sizes, line counts and connectivity do not
// depend on the labels, so samplers that only need those skip the
// permutation; draw_relabelling() provides it for callers that output a
// labelled graph.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "graph/edge_matrix.hpp"
#include "graph/ordered_dag.hpp"
#include "sampler/dag_counts.hpp"
#include "sampler/random.hpp"

namespace pellimor {

// A double uniform in [0, 1) from the top 53 bits of one draw.
inline double unit_interval(Xoshiro256StarStar& rng) {
    return static_cast<double>(rng() >> 11) * 0x1p-53;
}

class UniformDag {
  public:
    // Keeps a reference to counts, which must outlive this object. Allocates
    // the relabelling buffer; nothing else allocates.
    explicit UniformDag(const DagCounts& counts);

    static std::size_t bytes_per_worker(int n);

    int size() const { return counts_.size(); }

    // Overwrites dag, which must have size() vertices, with a DAG drawn
    // uniformly up to its labels (see above). About n^2 / 128 draws of rng
    // for the parent rows, whole words at a time, plus one per layer. Writes
    // only the words of row v that can hold a parent of v (up to word v / 64):
    // the rest are zero in every OrderedDag and stay so.
    void draw(Xoshiro256StarStar& rng, OrderedDag& dag) const;

    // A uniform random permutation of 0 .. size()-1 (label[v]: the new name
    // of vertex v), valid until the next call.
    std::span<const int> draw_relabelling(Xoshiro256StarStar& rng);

    // Draws a DAG into dag, then a relabelling, and writes the relabelled
    // DAG into m (size() vertices, every cell overwritten): a uniform
    // labelled DAG as arrows.
    void draw_labelled(Xoshiro256StarStar& rng, OrderedDag& dag, EdgeMatrix& m);

  private:
    const DagCounts& counts_;
    std::vector<int> label_;
};

}  // namespace pellimor
