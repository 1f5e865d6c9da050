#pragma once

// Exact values over uniformly drawn labelled DAGs on n vertices (rather than
// over uniformly drawn classes), for runs that draw DAGs themselves: the
// number of connected DAGs, and the mean and variance of the number of edges
// of a uniform DAG. Exact integers with GMP, so only up to exact_count_limit.
//
// Connected DAGs c(n), by the component of vertex 1 (k vertices, the other
// n - k any DAG):
//   a(n) = sum_{k=1..n} C(n-1, k-1) c(k) a(n-k).
// Edges: with a_n(y) = sum over DAGs of y^edges, Robinson's recurrence
// weighs each arrow from the k sinks removed to the n - k others by y:
//   a_n(y) = sum_{k=1..n} (-1)^(k+1) C(n,k) (1 + y)^(k(n-k)) a_{n-k}(y),
// so the mean is a_n'(1) / a_n(1) and the variance a_n''(1) / a_n(1) + mean
// - mean^2, from the first two derivatives at y = 1 carried through the
// recurrence as integers ((1 + y)^m gives 2^m, m 2^(m-1), m (m-1) 2^(m-2)).

#include <gmpxx.h>

#include <optional>
#include <vector>

#include "counts/count_table.hpp"

namespace pellimor {

struct DagCountsWithEdges {
    std::vector<mpz_class> dags;            // a(m), m = 0 .. n
    std::vector<mpz_class> connected_dags;  // c(m); c(0) = 0
    std::vector<mpz_class> edge_sum;        // a_m'(1): edges summed over all DAGs
    std::vector<mpz_class> edge_pair_sum;   // a_m''(1): edges (edges - 1) summed
};
DagCountsWithEdges dag_counts_with_edges(int n);

// What a uniform DAG on n vertices has, as shares and moments.
struct DagValues {
    CountValue connected;  // c(n) / a(n)
    CountValue mean_edges;
    CountValue variance_edges;
};

// The values for 1 <= n <= exact_count_limit, else nothing.
std::optional<DagValues> dag_values(int n);

}  // namespace pellimor
