#pragma once

// Exact values for runs bounded by edges, from the counts by edges
// (counts/edge_counts.hpp): the classes with exactly E (at most E) edges, the
// DAGs with as many, their ratio, and under "at most E" the distribution of
// the edge count over the classes.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "graph/edge_bound.hpp"

namespace pellimor {

// The largest n_vars whose counts by edges a run computes: both triangles up
// to n = 30 take about 0.3 s on our shared build machine, n = 40 about 2 s.
inline constexpr int edge_counts_run_limit = 30;

struct EdgeBoundExact {
    std::string classes;  // classes with E (at most E) edges, decimal
    double log10_classes = 0;
    std::string dags;  // DAGs with E (at most E) edges, decimal
    double log10_dags = 0;
    double classes_per_dag = 0;  // classes / dags
    // Under at most E: the share of the classes with e edges, e = 0 .. E; its
    // mean, and the share with exactly E. Under exactly E: just {1}, E, 1.
    std::vector<double> edge_shares;
    double mean_edges = 0;
    double share_at_bound = 0;
};

// The exact values for n vertices under `bound`, or nothing when there is no
// bound, or n > edge_counts_run_limit. Computed afresh by every call (up to
// about 0.3 s): a run makes them once, when it is planned.
std::optional<EdgeBoundExact> edge_bound_exact(int n, EdgeBound bound);

// "exactly 40 edges", "at most 40 edges".
std::string describe_edge_bound(EdgeBound bound);

}  // namespace pellimor
