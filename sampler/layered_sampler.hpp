#pragma once

// The layered exact method for sparse classes: essential graphs drawn
// exactly uniformly among those with exactly E edges. A proposal
// (sampler/layered_proposal.hpp) is an M1 object drawn with probability
// proportional to y^edges; keeping those with E edges that are canonical
// keeps each class with E edges with probability y^E / sum_k T(n, k), the
// same for all of them. Any y gives exact draws; the one whose proposals
// have a mean of E edges keeps the most, about 1 / (2.5 sqrt(E)) of them
// when the graph is sparse, times the canonical share (0.84 to 0.91).
//
// Where it pays: rejection from DAGs keeps a DAG with probability 1/s,
// which falls exponentially with n in sparse classes; here the cost of a
// proposal grows with the number of levels and with e^lambda, lambda the
// split pairs that the levels of sparse sub-objects would have in plain
// objects (see sampler/layered_levels.hpp): about n / 12 where the graph
// below a level has a mean degree near 1, which every proposal passes
// through once y n is small. The table refuses such y where its sums lose
// their precision.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "counts/layered_table.hpp"
#include "graph/class_size.hpp"
#include "graph/edge_matrix.hpp"
#include "graph/essential_graph.hpp"
#include "graph/ordered_dag.hpp"
#include "sampler/layered_proposal.hpp"
#include "sampler/random.hpp"
#include "sampler/sample_run.hpp"

namespace pellimor {

// The table of a run, built once and shared read-only by every worker.
struct LayeredSetup {
    std::int64_t edges = 0;
    std::unique_ptr<LayeredTable> table;
};

// Chooses y so that proposals have a mean of about E edges, and builds the
// table: a first y from the mean degree d = 2E/n (y = (0.4 + 0.05 d) d / n
// fits the classes' y from n = 30 to 1000 within ten percent), then one or
// two Newton steps on log y from a pilot of proposals, whose mean edge count
// has the derivative Var(edges) by log y (they are drawn with weight
// y^edges). The pilot draws from a stream of its own fixed by (n, E), so
// the setup is the same on every thread and rank. 1 <= E < n(n-1)/2.
// Throws what LayeredTable throws for a y it refuses.
LayeredSetup make_layered_setup(int n, std::int64_t edges, const std::atomic<bool>* stop = nullptr);

class LayeredSampler {
  public:
    // Keeps a reference to setup's table, which must outlive this object.
    explicit LayeredSampler(const LayeredSetup& setup);

    // The memory one sampler takes for n vertices at most.
    static std::size_t bytes_per_worker(int n);

    // Draws proposals until one with E edges is canonical. Fills in result
    // the kept class's no_lines, connected, lines and classes.edges;
    // dags_drawn and the sums over DAGs stay 0 (no DAG is drawn). Returns
    // false, result to be discarded, when *stop became true first (checked
    // once per proposal).
    bool draw_class(Xoshiro256StarStar& rng, SampleResult& result,
                    const std::atomic<bool>* stop = nullptr);

    // As ExactSampler: the kept class as a labelled essential graph, a DAG
    // of it (vertices in topological numbering), its size, and a uniform
    // relabelling.
    void kept_essential_graph(Xoshiro256StarStar& rng, EdgeMatrix& m);
    const OrderedDag& kept_dag() const { return dag_; }
    const EssentialGraph& kept_essential() const { return essential_; }
    double kept_size() const { return kept_size_; }
    std::span<const int> draw_relabelling(Xoshiro256StarStar& rng);

    // What `proposals` proposals gave, for a pilot: those with E edges, and
    // the canonical ones among them. Keeps nothing.
    struct Pilot {
        std::int64_t proposals = 0;
        std::int64_t with_edges = 0;
        std::int64_t kept = 0;
        double edge_sum = 0;  // over all proposals
        double edge_square_sum = 0;
    };
    Pilot pilot(Xoshiro256StarStar& rng, std::int64_t proposals);

    std::int64_t proposals() const { return proposals_; }
    const LayeredProposal& proposal() const { return proposal_; }
    LayeredProposal& proposal() { return proposal_; }

  private:
    std::int64_t edges_;
    LayeredProposal proposal_;
    OrderedDag dag_;
    EssentialGraph essential_;
    ClassSizeCounter counter_;
    std::vector<Word> reached_;
    std::vector<int> label_;
    std::int64_t proposals_ = 0;
    double kept_size_ = 1;
};

}  // namespace pellimor
