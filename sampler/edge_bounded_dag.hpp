#pragma once

// Uniformly random DAGs among those with exactly E edges, or among those with
// at most E, drawn by rejection from DAGs weighted by y^(edges)
// (WeightedDagTables) in two stages, so that a rejected proposal costs O(n)
// and an accepted one O(n + E):
//
// 1. The layers, and for each vertex the number c_v of its parents in the
//    layer before, as the weighted draw picks them. The parents in older
//    layers are independent with probability pi = y / (1 + y) over the N
//    (vertex, older vertex) slots, so their number b is Binomial(N, pi),
//    independent of the rest given the layers.
// 2. Exactly E: accept with probability P(b = E - t), t = sum c_v, which
//    keeps exactly the weighted DAGs with E edges. At most E (y <= 1): a
//    weighted DAG with e <= E edges is kept with probability y^(E-e), which
//    makes every DAG with at most E edges equally likely (y^e y^(E-e) = y^E).
//    Summed over b, the acceptance is y^(E-t) (1+y)^-N sum_{b <= E-t} C(N, b),
//    and b given acceptance has weight C(N, b).
// 3. The parents: for each vertex a uniform c_v-subset of the layer before,
//    and a uniform b-subset of the N older slots (Floyd's algorithm; given
//    their numbers, independent Bernoulli choices are uniform subsets).
//
// Vertices are numbered layer by layer, a topological numbering, as for
// UniformDag; the class, its size and its lines do not depend on the labels.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "graph/edge_bound.hpp"
#include "graph/ordered_dag.hpp"
#include "sampler/random.hpp"
#include "sampler/weighted_dag_tables.hpp"

namespace pellimor {

class EdgeBoundedDag {
  public:
    // Keeps a reference to tables (which must outlive this object). The
    // bound is exactly E or at most E; for at most E the tables' y must be at
    // most 1. Allocates all scratch.
    EdgeBoundedDag(const WeightedDagTables& tables, EdgeBound bound);

    static std::size_t bytes_per_worker(int n, std::int64_t edges);

    // One proposal: true when it was accepted, with the DAG in dag();
    // false (dag() then undefined) otherwise. Allocates nothing.
    bool propose(Xoshiro256StarStar& rng);

    const OrderedDag& dag() const { return dag_; }
    // The edges of the DAG of the last accepted proposal.
    std::int64_t edges() const { return static_cast<std::int64_t>(placed_.size()); }
    EdgeBound bound() const { return {bound_, bound_edges_}; }

  private:
    // Clears the parents placed by the last accepted proposal: O(E).
    void clear_placed();
    // Stage 2: whether to accept with t parents in layers before and N older
    // slots; sets older_ (b) when accepting.
    bool accept(Xoshiro256StarStar& rng, std::int64_t t, std::int64_t slots);
    // log C(N, b).
    double log_binomial(std::int64_t n, std::int64_t b) const;
    void place(int v, int u);

    const WeightedDagTables& tables_;
    std::int64_t bound_edges_;
    EdgeBoundKind bound_;
    double log_pi_;
    double log_not_pi_;
    OrderedDag dag_;
    std::vector<int> layer_start_;             // layer l holds layer_start_[l] .. [l+1]-1
    std::vector<int> parents_before_;          // c_v per vertex
    std::vector<std::int64_t> slot_start_;     // older slots before layer l
    std::vector<double> log_factorial_;        // log j!, j <= n(n-1)/2
    std::vector<double> terms_;                // AT_MOST: weights of b
    std::vector<std::pair<int, int>> placed_;  // (child, parent) of the last DAG
    std::int64_t older_ = 0;                   // b of the accepted proposal
    int layers_ = 0;
};

}  // namespace pellimor
