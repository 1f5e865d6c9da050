#pragma once

// The counts of DAGs, essential DAGs and essential graphs, the connected ones,
// and the first two factorial moments of the edges of essential graphs, for
// any n, in 320-bit floating point: each divided by n! 2^C(n,2), so that they
// stay near 1 while the counts themselves outgrow every exact table.
//
// With that scale every recurrence of counts/exact_counts.hpp and
// counts/class_counts.hpp keeps its form, and its k-th term carries the factor
// 1 / (k! 2^C(k,2)). Terms with k > 30 are dropped: each is below 2^-400 of
// the sum (B_k <= 2^80 for k <= 30, and the sums are near their first term),
// far below the working precision. Used beyond the exact limit, and at every
// n for the mean and variance of the edges.

#include <gmpxx.h>

#include <vector>

namespace pellimor {

inline constexpr int scaled_count_precision = 320;  // bits

// Index m = 0 .. n, each divided by m! 2^C(m,2).
struct ScaledCounts {
    std::vector<mpf_class> dags;
    std::vector<mpf_class> essential_dags;
    std::vector<mpf_class> essential_graphs;
    std::vector<mpf_class> connected_essential_graphs;
    std::vector<mpf_class> connected_essential_dags;
    std::vector<mpf_class> edge_sum;       // sum over classes of their edges
    std::vector<mpf_class> edge_pair_sum;  // ... of edges (edges - 1)
};

// Requires 0 <= n. About n / 20000 s.
ScaledCounts scaled_counts_up_to(int n);

// log10(n! 2^C(n,2)), the scale, for n >= 0.
double log10_count_scale(int n);

// log10 of a positive number, to double precision.
double log10_of(const mpf_class& value);

}  // namespace pellimor
