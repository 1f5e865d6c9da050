#pragma once

// The exact method restricted by edges: essential graphs drawn exactly
// uniformly among those with exactly E edges, or among those with at most E.
// All DAGs of a class share its skeleton, so they all have its number of
// edges: a DAG drawn uniformly among those with E edges (EdgeBoundedDag) and
// kept with probability 1/s, s the size of its class, keeps each class with
// E edges with probability s / d_E * 1 / s = 1 / d_E (d_E: the DAGs with E
// edges), the same for all of them. Likewise for at most E.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "graph/class_size.hpp"
#include "graph/edge_matrix.hpp"
#include "graph/essential_graph.hpp"
#include "sampler/edge_bounded_dag.hpp"
#include "sampler/random.hpp"
#include "sampler/sample_run.hpp"
#include "sampler/weighted_dag_tables.hpp"

namespace pellimor {

// The tables of a run with an edge bound, built once and shared read-only by
// every worker.
struct SparseSetup {
    EdgeBound bound;  // exactly E or at most E
    std::unique_ptr<WeightedDagTables> tables;
};

// Chooses y (the weight whose mean edge count is E; at most 1 for AT_MOST) and
// builds the tables. n <= WeightedDagTables::max_vertices, 0 <= E <= n(n-1)/2.
SparseSetup make_sparse_setup(int n, EdgeBound bound, const std::atomic<bool>* stop = nullptr);

class SparseExactSampler {
  public:
    explicit SparseExactSampler(const SparseSetup& setup);

    static std::size_t bytes_per_worker(int n, std::int64_t edges);

    // As ExactSampler::draw_class, over DAGs with E (at most E) edges:
    // dags_drawn counts those DAGs, not the weighted proposals behind them.
    // Fills result.edges with the kept class's edge count.
    bool draw_class(Xoshiro256StarStar& rng, SampleResult& result,
                    const std::atomic<bool>* stop = nullptr);

    // One DAG drawn uniformly among those with E (at most E) edges, whatever
    // its class, as ExactSampler::draw_dag(); the proposals it takes are
    // rejected until one is within the bound, so it may be stopped too.
    bool draw_dag(Xoshiro256StarStar& rng, SampleResult& result,
                  const std::atomic<bool>* stop = nullptr);

    // The kept class as a labelled essential graph in m, its vertices renamed
    // by a uniform random permutation from rng.
    void kept_essential_graph(Xoshiro256StarStar& rng, EdgeMatrix& m);

    // What `proposals` weighted proposals gave, for a pilot that states the
    // cost of a run before it starts: the DAGs within the bound among them and
    // the sum of 1/s over those (the expected classes kept). Keeps nothing.
    struct Pilot {
        std::int64_t proposals = 0;
        std::int64_t dags = 0;
        double inverse_size_sum = 0;
    };
    Pilot pilot(Xoshiro256StarStar& rng, std::int64_t proposals);

    // The last kept class: its DAG (vertices in topological numbering), its
    // essential graph and its size; and a uniform relabelling of the vertices
    // (valid until the next call), for callers that write the class out.
    const OrderedDag& kept_dag() const { return dags_.dag(); }
    const EssentialGraph& kept_essential() const { return essential_; }
    double kept_size() const { return kept_size_; }
    std::span<const int> draw_relabelling(Xoshiro256StarStar& rng);

    // Weighted proposals made so far, accepted or not.
    std::int64_t proposals() const { return proposals_; }

  private:
    template <bool every_dag>
    bool draw(Xoshiro256StarStar& rng, SampleResult& result, const std::atomic<bool>* stop);

    EdgeBoundedDag dags_;
    EssentialGraph essential_;
    ClassSizeCounter counter_;
    std::vector<Word> reached_;
    std::vector<int> label_;
    std::int64_t proposals_ = 0;
    double kept_size_ = 1;
};

}  // namespace pellimor
