#pragma once

// Counts of labelled DAGs split by their number of sources, and the layer-size
// distributions that draw a uniformly random DAG layer by layer (Kuipers and
// Moffa, "Uniform random generation of large acyclic digraphs", Statistics and
// Computing 2015).
//
// With a(m, k) the labelled DAGs on m vertices with exactly k sources and
// a(m) = sum_k a(m, k):
//
//   a(m, m) = 1,
//   a(m, k) = C(m, k) sum_{s=1..m-k} (2^k - 1)^s 2^{k(m-k-s)} a(m-k, s).
//
// A DAG is drawn as a sequence of layers: first its k1 sources, with
// probability a(n, k1) / a(n); then, with k vertices in the layer before and m
// vertices left, a next layer of s vertices with probability
// (1 - 2^-k)^s q_m(s) / Z(m, k), where q_m(s) = a(m, s) / a(m) and
// Z(m, k) = sum_s (1 - 2^-k)^s q_m(s).
//
// The tables hold q_m(s) and Z(m, k) as plain doubles of moderate size, never
// a(m) itself (a(10000) has about 1.5e7 digits), and layer sizes only up to
// max_layer(). The DAG count is available as its natural logarithm.
//
// Built once per run and then only read, so any number of threads may draw
// from one instance.

#include <atomic>
#include <cstddef>
#include <stdexcept>
#include <vector>

#include "util/setup_stopped.hpp"

namespace pellimor {

class DagCounts {
  public:
    // Layers wider than this are dropped. A random DAG's k sources have a
    // probability below 2^k / (k! 2^{k(k-1)/2}) (see dropped_mass_bound()):
    // about 4e-51 for k = 17, so nothing a double could resolve is lost.
    static constexpr int default_max_layer = 16;

    // Builds the tables for DAGs on 1 .. n vertices in O(n * max_layer^2)
    // steps. Checks *stop (when given) every few hundred vertex counts and
    // throws SetupStopped once it is set. Throws std::invalid_argument for
    // n < 1 or max_layer < 1, std::bad_alloc when the tables do not fit.
    explicit DagCounts(int n, const std::atomic<bool>* stop = nullptr,
                       int max_layer = default_max_layer);

    // The memory the tables for n vertices take, with the default max_layer.
    static std::size_t bytes_needed(int n);

    int size() const { return n_; }
    // The widest layer drawn: min(n, the max_layer asked for).
    int max_layer() const { return k_max_; }

    // log a(m), the natural logarithm of the number of labelled DAGs on m
    // vertices, 0 <= m <= size().
    double log_dag_count(int m) const { return log_count_[static_cast<std::size_t>(m)]; }

    // q_m(k) = a(m, k) / a(m): the share of DAGs on m vertices with exactly k
    // sources, 1 <= m <= size(), 1 <= k <= max_layer() (0 for k > m).
    double source_share(int m, int k) const { return share_row(m)[k]; }

    // Z(m, k), the normaliser of the next layer's size after a layer of k.
    double next_layer_norm(int m, int k) const { return norm_row(m)[k]; }

    // An upper bound on the probability that a single layer-size choice of
    // an untruncated draw would have picked a layer wider than max_layer();
    // 0 when max_layer() >= size(), as no layer can be wider than that. A DAG
    // draw makes at most size() such choices, so the total variation distance
    // between a drawn DAG and a uniform one is at most size() times this:
    // below 1e-45 for every n <= 10000 with the default max_layer.
    double dropped_mass_bound() const { return dropped_bound_; }

    // The size of the first layer (the sources) of a DAG on size() vertices,
    // for u uniform in [0, 1).
    int first_layer_size(double u) const {
        const double* q = share_row(n_);
        return pick(n_, u * first_norm_, [q](int s) { return q[s]; });
    }

    // The size of the next layer when m >= 1 vertices are left and the layer
    // before has k vertices, for u uniform in [0, 1): s with weight
    // (1 - 2^-k)^s q_m(s).
    int next_layer_size(int m, int k, double u) const {
        const double* q = share_row(m);
        const double* p = power_row(k);
        return pick(m, u * norm_row(m)[k], [q, p](int s) { return p[s] * q[s]; });
    }

  private:
    const double* share_row(int m) const {
        return share_.data() + static_cast<std::size_t>(m) * stride_;
    }
    const double* norm_row(int m) const {
        return norm_.data() + static_cast<std::size_t>(m) * stride_;
    }
    // (1 - 2^-k)^s over s.
    const double* power_row(int k) const {
        return power_.data() + static_cast<std::size_t>(k) * stride_;
    }

    // The smallest s in 1 .. last = min(m, max_layer()) whose running sum of
    // weight(1 .. s) exceeds target; last when rounding leaves the target at
    // or above the sums of weight(1 .. last-1). The sums are added in
    // increasing s, the order the normalisers were summed in.
    //
    // The first four sums are formed at once, as a walk over s would add
    // them (rows hold at least five entries, zero past max_layer() and past
    // m). They never decrease, as the weights are >= 0, so the number c of
    // them at or below target gives s = c + 1 (capped at last) without a
    // branch per s. Only when all four are at or below target, which needs a
    // layer of 5 or more (about 1 choice in 10^4), do further sums follow one
    // by one.
    template <typename Weight>
    int pick(int m, double target, Weight weight) const {
        const int last = m < k_max_ ? m : k_max_;
        const double c1 = weight(1);
        const double c2 = c1 + weight(2);
        const double c3 = c2 + weight(3);
        const double c4 = c3 + weight(4);
        const int below = (c1 <= target ? 1 : 0) + (c2 <= target ? 1 : 0) + (c3 <= target ? 1 : 0) +
                          (c4 <= target ? 1 : 0);
        if (below < 4 || last <= 5) {
            return below + 1 < last ? below + 1 : last;
        }
        double sum = c4;
        for (int s = 5; s < last; ++s) {
            sum += weight(s);
            if (target < sum) {
                return s;
            }
        }
        return last;
    }

    int n_;
    int k_max_;
    std::size_t stride_;             // k_max_ + 1, at least 5: rows are indexed by k directly
    std::vector<double> log_count_;  // log a(m), m = 0 .. n
    std::vector<double> share_;      // q_m(k), row m
    std::vector<double> norm_;       // Z(m, k), row m; row 0 is all 1
    std::vector<double> power_;      // (1 - 2^-k)^s, row k
    double first_norm_ = 1;          // sum_k q_n(k), 1 up to rounding
    double dropped_bound_ = 0;
};

}  // namespace pellimor
