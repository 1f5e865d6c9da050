#pragma once

// Before an exact draw bounded by edges: what it will cost. The DAGs drawn
// per kept class are exactly (DAGs within the bound) / (classes within it)
// where the counts by edges reach, and otherwise estimated by a short pilot
// of weighted proposals, which also times a DAG. A run expected to take more
// than an hour is refused unless forced.

#include <atomic>
#include <cstdint>
#include <string>

#include "sampler/sparse_exact_sampler.hpp"
#include "stats/edge_bound_exact.hpp"

namespace pellimor {

// Runs expected to take longer are refused without --force.
inline constexpr double longest_planned_seconds = 3600;

struct EdgeBoundPlan {
    double dags_per_class = 0;     // expected DAGs within the bound per kept class
    bool exact_ratio = false;      // dags_per_class from the counts by edges
    double proposals_per_dag = 0;  // weighted proposals per DAG within the bound
    double seconds_per_dag = 0;    // by the pilot, one thread
    std::int64_t pilot_dags = 0;
    double expected_seconds = 0;  // for `classes` classes on `threads` threads
    // The threads that run at once: no more than the CPUs this process may
    // use (sched_getaffinity), whatever --threads asks for.
    int parallel = 1;
    bool lower_bound = false;  // the pilot met no DAG within the bound: at least this
};

// The plan for drawing `classes` classes within the bound of setup with
// `threads` threads; `exact` holds the bound's exact values
// where they are known (nullptr elsewhere). The pilot draws from its own
// stream (from `seed`) for about a fifth of a second.
EdgeBoundPlan plan_edge_bounded_draws(const SparseSetup& setup, std::int64_t classes, int threads,
                                      std::uint64_t seed, const EdgeBoundExact* exact);

// "4.76 DAGs drawn per kept class (exact), 30 weighted proposals per DAG;
// about 12 s for 1000 classes on 2 threads" (", which share 2 CPUs" when
// there are more threads than CPUs)
std::string describe_plan(const EdgeBoundPlan& plan, std::int64_t classes, int threads);

// "12 s", "3.4 hours", "2.1e+03 days".
std::string describe_seconds(double seconds);

}  // namespace pellimor
