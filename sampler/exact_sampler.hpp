#pragma once

// The exact method: essential graphs drawn exactly uniformly, by rejection
// from uniform DAGs. Draw a uniform labelled DAG D, find its essential graph
// and the size s of its class, keep the class with probability 1/s, else
// draw again. A class C of s(C) DAGs is then kept with probability
// s(C) / a(n) * 1 / s(C) = 1 / a(n) per draw, the same for every class, so the
// kept classes are independent and uniform over all essential graphs. About
// 0.27 of the DAGs drawn are kept for every n (the ratio of classes to DAGs
// tends to about 0.27).

#include <atomic>
#include <cstddef>
#include <span>
#include <vector>

#include "graph/bit_rows.hpp"
#include "graph/class_size.hpp"
#include "graph/edge_matrix.hpp"
#include "graph/essential_graph.hpp"
#include "graph/ordered_dag.hpp"
#include "sampler/dag_counts.hpp"
#include "sampler/random.hpp"
#include "sampler/sample_run.hpp"
#include "sampler/uniform_dag.hpp"

namespace pellimor {

// One per worker thread: it owns every scratch buffer, so draw_class()
// allocates nothing (unless the class counter meets a chain component beyond
// its memo limit).
class ExactSampler {
  public:
    // Keeps a reference to tables, which must outlive this object and may be
    // shared by any number of samplers.
    explicit ExactSampler(const DagCounts& tables);

    // The memory one sampler takes for n vertices, scratch of the class
    // counter included.
    static std::size_t bytes_per_worker(int n);

    // Draws DAGs from rng until one class is kept. Fills in result the kept
    // class's no_lines, connected and lines, and over every DAG drawn for it
    // (kept or not): dags_drawn, inverse_size_sum (sum of 1/s),
    // single_dag_count (DAGs alone in their class) and connected_weight (sum
    // of [connected] / s). Returns false, with result to be discarded, when
    // *stop became true first; it is checked once per DAG.
    bool draw_class(Xoshiro256StarStar& rng, SampleResult& result,
                    const std::atomic<bool>* stop = nullptr);

    // One uniform DAG, whatever its class: the DAG and its class take the
    // place of the kept ones below, and result gets what draw_class() gives
    // for a class kept at the first DAG drawn. Its vertices are in
    // topological numbering; named by draw_relabelling(), it is a uniformly
    // random labelled DAG.
    // Never stopped (a draw takes one DAG): always true.
    bool draw_dag(Xoshiro256StarStar& rng, SampleResult& result,
                  const std::atomic<bool>* stop = nullptr);

    // The class kept by the last successful draw_class() as a labelled
    // essential graph in m (size() vertices, every cell overwritten), its
    // vertices renamed by a uniform random permutation from rng. Only here is
    // that permutation needed: the class size, the lines and connectivity do
    // not depend on the names.
    void kept_essential_graph(Xoshiro256StarStar& rng, EdgeMatrix& m);

    // The last kept class: the DAG drawn for it (vertices in topological
    // numbering), its essential graph and its size s. Every DAG of the class
    // is kept with the same probability 1/a(n), so given the class, the DAG
    // is a uniformly random member of it (once relabelled as below).
    const OrderedDag& kept_dag() const { return dag_; }
    const EssentialGraph& kept_essential() const { return essential_; }
    double kept_size() const { return kept_size_; }

    // A uniform random permutation of the vertices (label[v]: the name
    // vertex v is given), valid until the next call. Drawn after the class
    // was kept, from the same stream, it names the kept class's vertices
    // without changing anything drawn before it.
    std::span<const int> draw_relabelling(Xoshiro256StarStar& rng) {
        return dags_.draw_relabelling(rng);
    }

    int size() const { return dags_.size(); }

  private:
    // Skeleton connectivity of dag_, from its rows and essential_'s sources.
    bool dag_connected();
    // Draws a DAG, its essential graph and class size; true when it is kept
    // (every_dag, or with probability 1/s).
    template <bool every_dag>
    bool draw_one(Xoshiro256StarStar& rng, SampleResult& result);

    UniformDag dags_;
    OrderedDag dag_;
    EssentialGraph essential_;
    ClassSizeCounter counter_;
    std::vector<Word> reached_;
    double kept_size_ = 1;
};

// 1 when the skeleton of dag is connected (true for n <= 1). Grows the set R
// reached from vertex 0 in alternating sweeps up and down the numbering: v
// joins R when v is in R or its parents meet R, and then all its parents join
// too. Whole-word passes over the parent rows; no transposition. reached
// must hold dag.words() words.
bool skeleton_connected(const OrderedDag& dag, Word* reached);

// The same answer, sooner: every vertex descends from a source, so the
// skeleton is connected exactly when all sources lie in one of its
// components. With one source there is nothing to search; otherwise the
// sweeps above stop as soon as the set grown from vertex 0 (a source) holds
// every source. sources is the row of dag's sources, source_count their
// number (EssentialGraph finds both).
bool skeleton_connected(const OrderedDag& dag, const Word* sources, int source_count,
                        Word* reached);

// One DAG drawn by a rejection sampler, of class size s: adds it to the sums
// of result (1/s, [s = 1], [connected]/s).
inline void weigh(SampleResult& result, double s, bool connected) {
    const double inverse = 1 / s;
    ++result.dags_drawn;
    result.inverse_size_sum += inverse;
    if (s == 1) {
        result.single_dag_count += 1;
    }
    if (connected) {
        result.connected_weight += inverse;
    }
}

// The same, and whether its class is kept, with probability 1/s: u < 1/s for
// u uniform in [0, 1), and s = 1 always, without a draw. 1/s is 0 for a class
// past the double range.
inline bool weigh_and_keep(SampleResult& result, double s, bool connected,
                           Xoshiro256StarStar& rng) {
    weigh(result, s, connected);
    return s == 1 || unit_interval(rng) < 1 / s;
}

}  // namespace pellimor
