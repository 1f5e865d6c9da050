#include "stats/exact_values.hpp"

namespace pellimor {

ExactValues make_exact_values(int n, EdgeBound bound, bool counts, bool dags) {
    ExactValues values;
    if (!bound.bounded() && counts) {
        values.counts = count_row(n);
    }
    if (!bound.bounded() && dags) {
        values.dags = dag_values(n);
    }
    values.edge_bound = edge_bound_exact(n, bound);
    return values;
}

}  // namespace pellimor
