#pragma once

// The exact values a run's estimates are held against: the count row at
// n_vars (counts/count_table.hpp) for a run over all classes, or the values
// of its edge bound (stats/edge_bound_exact.hpp). Both take up to about half
// a second, so a run makes them once, when it is planned, and passes them on.

#include <optional>

#include "counts/count_table.hpp"
#include "counts/dag_values.hpp"
#include "graph/edge_bound.hpp"
#include "stats/edge_bound_exact.hpp"

namespace pellimor {

struct ExactValues {
    std::optional<CountRow> counts;            // over all classes; runs without a bound
    std::optional<EdgeBoundExact> edge_bound;  // runs bounded by edges, n <= edge_counts_run_limit
    std::optional<DagValues> dags;  // over uniform DAGs, n <= exact_count_limit, when asked
};

// The values for a run on n vertices under `bound`: the count row when there
// is no bound and `counts` is set, the bound's values when there is one and
// the counts by edges reach n; with `dags` and no bound, also the values over
// uniform DAGs where they are exact.
ExactValues make_exact_values(int n, EdgeBound bound, bool counts = true, bool dags = false);

}  // namespace pellimor
