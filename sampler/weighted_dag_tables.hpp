#pragma once

// Source tables for DAGs weighted by y^(edges): the tables DagCounts keeps for
// uniform DAGs, with 2 replaced by 1 + y. With a_m(y) the sum over the DAGs
// on m labelled vertices of y^(edges), and a_m,k(y) the same over those with
// exactly k sources,
//
//   a_m,k(y) = C(m, k) sum_{s=1..m-k} ((1+y)^k - 1)^s (1+y)^(k(m-k-s)) a_m-k,s(y):
//
// removing the k sources leaves a DAG with s sources, each of which has a
// non-empty set of parents among the k (weight (1+y)^k - 1), while each of the
// other m-k-s vertices has any set of them (weight (1+y)^k). So a DAG is drawn
// with probability proportional to y^(edges) layer by layer, as DagCounts
// draws uniform ones: the sources, with probability q_n(k) = a_n,k / a_n; then,
// with k vertices in the layer before and m left, a next layer of s vertices
// with probability pi_k^s q_m(s) / Z(m, k), pi_k = 1 - (1+y)^-k; each vertex of
// a layer has a non-empty set of parents in the layer before, c of them with
// weight C(k, c) y^c, and every vertex of an older layer as a parent with
// probability y / (1 + y), independently. Every DAG with e edges is then drawn
// with probability y^e / a_n(y): among those with e edges, uniformly.
//
// Sparse DAGs have wide layers (hundreds of sources at n = 1000 with a mean
// degree of 2), so unlike DagCounts no layer size is dropped; the build costs
// about n^3 / 6 steps in long double, whose range holds every intermediate
// value, and keeps the shares as doubles. Built once per run and then only
// read.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace pellimor {

class WeightedDagTables {
  public:
    // The largest n built: n^2 doubles of tables, n^3 / 6 steps.
    static constexpr int max_vertices = 500;

    // Tables for DAGs on n vertices (1 <= n <= max_vertices) with weight y > 0.
    // Checks *stop (when given) between rows and throws SetupStopped once it
    // is set. Throws std::invalid_argument for arguments out of range.
    WeightedDagTables(int n, double y, const std::atomic<bool>* stop = nullptr);

    static std::size_t bytes_needed(int n);

    int size() const { return n_; }
    double y() const { return y_; }
    // y / (1 + y): the probability of each older-layer parent.
    double edge_probability() const { return y_ / (1 + y_); }

    // log a_n(y).
    double log_weighted_count() const { return log_count_; }

    // q_m(k), 1 <= k <= m <= size().
    double source_share(int m, int k) const { return share_row(m)[k]; }

    // The size of the first layer, for u uniform in [0, 1).
    int first_layer_size(double u) const { return pick(n_, 1.0, u * first_norm_); }

    // The size of the next layer when m >= 1 vertices are left and the layer
    // before has k vertices, for u uniform in [0, 1).
    int next_layer_size(int m, int k, double u) const {
        return pick(m, keep_[static_cast<std::size_t>(k)], u * norm_row(m)[k]);
    }

    // The number c >= 1 of parents a vertex has in a layer before of k
    // vertices: weight C(k, c) y^c, for u uniform in [0, 1).
    int parents_in_layer_before(int k, double u) const;

  private:
    const double* share_row(int m) const {
        return share_.data() + static_cast<std::size_t>(m) * stride_;
    }
    const double* norm_row(int m) const {
        return norm_.data() + static_cast<std::size_t>(m) * stride_;
    }
    // The smallest s whose running sum of pi^s q_m(s) exceeds target, summed
    // in the order the normalisers were; the last s of positive weight when
    // rounding leaves the target at or above the full sum.
    int pick(int m, double pi, double target) const;
    // The normaliser sum_s pi^s q_m(s), in pick()'s order and rounding.
    double weight_sum(int m, double pi) const;

    int n_;
    double y_;
    std::size_t stride_;                     // n + 1
    std::vector<double> share_;              // q_m(k), row m
    std::vector<double> norm_;               // Z(m, k), row m
    std::vector<double> keep_;               // pi_k = 1 - (1+y)^-k
    std::vector<double> first_parent_term_;  // see parents_in_layer_before()
    double first_norm_ = 1;
    double log_count_ = 0;
};

// log a_n(y) alone, by the same recurrence (for choosing y).
double log_weighted_dag_count(int n, double y, const std::atomic<bool>* stop = nullptr);

// The y whose weighted DAGs on n vertices have a mean edge count of `edges`
// (0 < edges < n(n-1)/2), to within a small fraction of the edge count's
// standard deviation: Newton's method on log y, with the mean and variance
// of the edge count as the first and second derivatives of log a_n(y) by
// log y, taken as central differences. Any y > 0 gives correct draws; this one
// makes DAGs with `edges` edges most frequent.
double weight_for_mean_edges(int n, double edges, const std::atomic<bool>* stop = nullptr);

}  // namespace pellimor
