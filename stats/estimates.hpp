#pragma once

// The numbers a run's summary reports, computed once from its statistics:
// the four shares with Wilson intervals, the move rates, the exact method's
// weighted estimates, and the estimated number of essential graphs with the
// ratios derived from it. Every estimate also carries the exact value at
// n_vars (stats/exact_values.hpp) and its z against it.
//
// Counts outgrow double, so they are held as base-10 logarithms; the exact
// ones also as decimal strings while n_vars <= exact_count_limit.

#include <cstdint>
#include <optional>
#include <string>

#include "counts/count_table.hpp"
#include "stats/edge_bound_exact.hpp"
#include "stats/exact_values.hpp"
#include "stats/interval.hpp"
#include "stats/run_info.hpp"
#include "stats/run_statistics.hpp"

namespace pellimor {

// A share count / of: the sample share with its 95% Wilson interval, and
// the exact share with z = (share - exact) / sqrt(exact (1 -
// exact) / of), the binomial standard error under the truth.
struct ShareEstimate {
    std::int64_t count = 0;
    std::int64_t of = 0;
    Interval interval;
    std::optional<double> exact;
    double z = 0;  // not a number without an exact value
};

// A ratio estimate over every DAG drawn, with its delta-method interval; z
// against the exact value uses the estimated standard error.
struct RatioEstimate {
    Interval interval;
    double standard_error = 0;
    std::optional<double> exact;
    double z = 0;
    // A share of exactly 0 or 1: the interval is then Wilson's over the
    // effective number of samples instead of the delta method's zero width.
    bool no_event_seen = false;
    // A share whose delta-method interval would leave [0, 1]: the interval
    // is Wilson's over share (1 - share) / se^2 samples instead.
    bool beyond_delta_method = false;
};

// An exact count: its decimal digits (n_vars <= exact_count_limit) and log10.
struct ExactCount {
    std::optional<std::string> decimal;
    double log10 = 0;
};

// An estimated count or ratio with its 95% interval, all as log10 (-inf for
// 0, +inf for an unbounded side); its exact value (a decimal string: the
// integer up to exact_count_limit, else 12 significant digits in scientific
// form; 12 significant digits of a ratio) and the z of the estimate it is
// derived from, with the sign of this quantity.
struct CountEstimate {
    double log10_estimate = 0;
    double log10_low = 0;
    double log10_high = 0;
    std::optional<std::string> exact;
    double z = 0;
    double exact_value = 0;  // a ratio's exact value as the nearest double
};

// A mean over the samples with its standard error.
struct MeanValue {
    double mean = 0;
    double standard_error = 0;
};

struct RunEstimates {
    std::int64_t samples = 0;  // the samples the estimates are over
    // The samples are uniform DAGs (each with its class), not classes: the
    // shares and the class statistics are over DAGs, with the exact values
    // over DAGs; the weighted estimates are still over classes.
    bool over_dags = false;

    ShareEstimate no_lines;
    ShareEstimate connected;
    ShareEstimate connected_among_no_lines;
    ShareEstimate no_lines_among_connected;

    // The walk: mean rate of each move kind and its standard error.
    bool has_move_rates = false;
    double rate_mean[move_kind_count] = {};
    double rate_standard_error[move_kind_count] = {};

    // The exact method, over every DAG drawn.
    bool has_weighted = false;
    std::int64_t dags_drawn = 0;
    RatioEstimate weighted_no_lines;
    RatioEstimate weighted_connected;

    ExactCount dags;            // a(n_vars)
    ExactCount essential_dags;  // e(n_vars)
    // Walk: e(n) / share without lines. Exact: a(n) * classes per DAG.
    CountEstimate essential_graphs;
    CountEstimate classes_per_dag;
    CountEstimate dags_per_class;

    // The exact mean and variance of the edges of a uniform class (of a
    // uniform DAG when over_dags).
    CountValue mean_edges;
    CountValue variance_edges;
    // Runs bounded by edges: the shares, counts and ratios above are over the
    // classes (DAGs) within the bound, dags is the DAGs within it, and exact
    // values come from the counts by edges where they reach (edge_exact); the
    // walk derives no counts.
    bool bounded = false;
    std::optional<EdgeBoundExact> edge_exact;
    // Runs bounded by edges: the samples' mean edge count and, under at most
    // E, their share with exactly E edges.
    MeanValue edges_seen;
    MeanValue at_bound_seen;
};

// `exact` must hold the count row for a run without an edge bound (std::
// invalid_argument otherwise); a run with one uses its edge-bound values
// where they exist.
RunEstimates estimate_run(const RunInfo& info, const RunStatistics& statistics,
                          const ExactValues& exact);

// 10^log10_value to 5 significant digits ("185.00", "1.0678e+06", "2.7149e+158"), for
// values beyond the range of double too; "inf" and "nan" as such.
std::string format_log10(double log10_value);

// A finite 10^log10_value as a double, or nothing when it is not finite.
std::optional<double> from_log10(double log10_value);

}  // namespace pellimor
