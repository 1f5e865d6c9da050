#include "stats/estimates.hpp"

#include <gmpxx.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>

#include "counts/count_table.hpp"

namespace pellimor {

namespace {

constexpr double not_a_number = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();

// log10 of a value that may be 0 (-inf) or negative (nan).
double safe_log10(double value) {
    if (value == 0) {
        return -infinity;
    }
    return value > 0 ? std::log10(value) : not_a_number;
}

ShareEstimate share(std::int64_t count, std::int64_t of, std::optional<double> exact) {
    ShareEstimate s{count, of, wilson_interval(count, of), exact, not_a_number};
    if (exact && of > 0) {
        const double se = std::sqrt(*exact * (1 - *exact) / static_cast<double>(of));
        s.z = z_score(s.interval.estimate, se, *exact, 0);
    }
    return s;
}

RatioEstimate ratio(const RatioAccumulator& a, std::optional<double> exact) {
    RatioEstimate r{a.interval(), a.standard_error(), exact, not_a_number};
    if (exact) {
        r.z = z_score(r.interval.estimate, r.standard_error, *exact, 0);
    }
    return r;
}

RatioEstimate weighted_share(const RatioAccumulator& a, std::optional<double> exact) {
    RatioEstimate r = ratio(a, exact);
    const double share = r.interval.estimate;
    // A weighted share with no event seen (all samples connected, say) has
    // no spread, so the delta method gives an interval of zero width, as if
    // the share were certain. Wilson's interval over the effective number
    // of samples does not: its far bound is z^2 / (n_eff + z^2) away. And z
    // then uses the binomial standard error of the exact share over the
    // effective number of samples, so that an exact share of 1 - 3e-12 is
    // not infinitely far from a sample of 1s.
    if (r.standard_error == 0 && (share == 0 || share == 1)) {
        r.interval = wilson_interval_for_share(share, a.effective_count());
        r.no_event_seen = true;
        if (exact) {
            const double se = std::sqrt(*exact * (1 - *exact) / a.effective_count());
            r.z = z_score(share, se, *exact, 0);
        }
        return r;
    }
    // Near 0 or 1 the delta method's interval, share +- 1.96 se, can leave
    // [0, 1]. A share's interval never does: there it is Wilson's over the
    // number of samples whose binomial standard error is se,
    // n = share (1 - share) / se^2.
    if (r.interval.low < 0 || r.interval.high > 1) {
        const double n = share * (1 - share) / (r.standard_error * r.standard_error);
        r.interval = wilson_interval_for_share(share, n);
        r.beyond_delta_method = true;
    }
    return r;
}

// numerator / denominator to 12 significant digits, as the count table
// gives its ratios.
std::string ratio_digits(const std::string& numerator, const std::string& denominator) {
    mpq_class q{mpz_class{numerator}, mpz_class{denominator}};
    q.canonicalize();
    char text[40];
    std::snprintf(text, sizeof text, "%.12g", q.get_d());
    return text;
}

// The three count estimates from the interval [low, high] around `estimate`
// of log10(classes per DAG), and the z of that estimate.
void derive_counts(RunEstimates& e, double log10_estimate, double log10_low, double log10_high,
                   double z_classes_per_dag) {
    e.classes_per_dag = {log10_estimate, log10_low, log10_high, std::nullopt, z_classes_per_dag};
    e.essential_graphs = {e.dags.log10 + log10_estimate, e.dags.log10 + log10_low,
                          e.dags.log10 + log10_high, std::nullopt, z_classes_per_dag};
    // (0 - z, not -z: an estimate that agrees with the exact value has z = 0,
    // which must not print as -0.00.)
    e.dags_per_class = {-log10_estimate, -log10_high, -log10_low, std::nullopt,
                        0 - z_classes_per_dag};
}

}  // namespace

const char* method_name(SampleMethod method) {
    return method == METHOD_DAGS ? "dags" : method == METHOD_EXACT ? "exact" : "walk";
}

RunEstimates estimate_run(const RunInfo& info, const RunStatistics& s, const ExactValues& values) {
    // The truth at this n: exact rationals up to exact_count_limit, 320-bit
    // floating point beyond (counts/count_table.hpp). It is over all classes;
    // a run bounded by edges has the counts by edges instead.
    const bool bounded = info.edge_bound.bounded();
    if (!bounded && !values.counts) {
        throw std::invalid_argument("estimates over all classes need the count row");
    }
    static const CountRow no_counts;
    const CountRow& exact = bounded ? no_counts : *values.counts;
    const auto truth = [bounded](double value) {
        return bounded ? std::nullopt : std::optional<double>(value);
    };
    RunEstimates e;
    e.samples = s.samples;
    e.bounded = bounded;

    e.no_lines = share(s.no_lines_count, s.samples, truth(exact.no_lines.value));
    e.connected = share(s.connected_count, s.samples, truth(exact.connected.value));
    e.connected_among_no_lines =
        share(s.both_count, s.no_lines_count, truth(exact.connected_among_no_lines.value));
    e.no_lines_among_connected =
        share(s.both_count, s.connected_count, truth(exact.no_lines_among_connected.value));

    const auto decimal = [&](const std::string& digits) {
        return exact.exact ? std::optional<std::string>(digits) : std::nullopt;
    };
    e.dags = {decimal(exact.dags), exact.log10_dags};
    e.essential_dags = {decimal(exact.essential_dags), exact.log10_essential_dags};
    // Over all classes: a run bounded by edges has its own (edge_exact).
    if (!bounded) {
        e.mean_edges = exact.mean_edges;
        e.variance_edges = exact.variance_edges;
    }

    if (bounded) {
        e.edge_exact = values.edge_bound;
        e.edges_seen = {s.edges.mean, s.edges.standard_error()};
        e.at_bound_seen = {s.at_edge_bound.mean, s.at_edge_bound.standard_error()};
        e.dags = e.edge_exact ? ExactCount{e.edge_exact->dags, e.edge_exact->log10_dags}
                              : ExactCount{std::nullopt, not_a_number};
        e.essential_dags = {std::nullopt, not_a_number};
    }
    if (info.method == METHOD_DAGS) {
        // Uniform DAGs: a DAG without lines is alone in its class, so the
        // share without lines is e(n) / a(n), and connected c(n) / a(n). A
        // uniform DAG without lines is a uniform class without lines, so
        // connected among them is as over classes; no lines among connected
        // is then P(no lines) P(connected | no lines) / P(connected).
        e.over_dags = true;
        std::optional<double> single;
        std::optional<double> connected;
        std::optional<double> single_among_connected;
        if (!bounded) {
            single = std::pow(10.0, exact.log10_essential_dags - exact.log10_dags);
        }
        if (!bounded && values.dags) {
            connected = values.dags->connected.value;
            single_among_connected =
                *single * exact.connected_among_no_lines.value / values.dags->connected.value;
        }
        e.no_lines = share(s.no_lines_count, s.samples, single);
        e.connected = share(s.connected_count, s.samples, connected);
        e.no_lines_among_connected = share(s.both_count, s.connected_count, single_among_connected);
        e.mean_edges = values.dags ? values.dags->mean_edges : CountValue{};
        e.variance_edges = values.dags ? values.dags->variance_edges : CountValue{};
    }
    if (info.method == METHOD_WALK && bounded) {
        e.has_move_rates = true;
        for (int k = 0; k < move_kind_count; ++k) {
            e.rate_mean[k] = s.rates[k].mean;
            e.rate_standard_error[k] = s.rates[k].standard_error();
        }
        const CountEstimate none{not_a_number, not_a_number, not_a_number, std::nullopt,
                                 not_a_number};
        e.classes_per_dag = e.essential_graphs = e.dags_per_class = none;
    } else if (info.method == METHOD_WALK) {
        e.has_move_rates = true;
        for (int k = 0; k < move_kind_count; ++k) {
            // No samples, no mean (the accumulator's 0 is only its start).
            e.rate_mean[k] = s.samples > 0 ? s.rates[k].mean : not_a_number;
            e.rate_standard_error[k] = s.rates[k].standard_error();
        }
        // classes per DAG = e(n) / (share without lines) / a(n); a larger
        // share gives fewer classes, hence the minus on z.
        const Interval& p = e.no_lines.interval;
        const double offset = e.essential_dags.log10 - e.dags.log10;
        derive_counts(e, offset - safe_log10(p.estimate), offset - safe_log10(p.high),
                      offset - safe_log10(p.low), 0 - e.no_lines.z);
    } else {
        e.has_weighted = true;
        e.dags_drawn = s.dags_drawn;
        e.weighted_no_lines = weighted_share(s.single_dag_share, truth(exact.no_lines.value));
        e.weighted_connected = weighted_share(s.connected_share, truth(exact.connected.value));
        const Interval r = s.classes_per_dag.interval();
        std::optional<double> exact_classes_per_dag = truth(exact.classes_per_dag.value);
        if (e.edge_exact) {
            exact_classes_per_dag = e.edge_exact->classes_per_dag;
        }
        const RatioEstimate classes = ratio(s.classes_per_dag, exact_classes_per_dag);
        derive_counts(e, safe_log10(r.estimate), safe_log10(std::max(0.0, r.low)),
                      safe_log10(r.high), classes.z);
    }
    if (!bounded) {
        e.essential_graphs.exact = exact.essential_graphs;
        e.classes_per_dag.exact = exact.classes_per_dag.text;
        e.classes_per_dag.exact_value = exact.classes_per_dag.value;
        e.dags_per_class.exact = exact.dags_per_class.text;
        e.dags_per_class.exact_value = exact.dags_per_class.value;
    } else if (e.edge_exact) {
        e.essential_graphs.exact = e.edge_exact->classes;
        e.classes_per_dag.exact = ratio_digits(e.edge_exact->classes, e.edge_exact->dags);
        e.classes_per_dag.exact_value = e.edge_exact->classes_per_dag;
        e.dags_per_class.exact = ratio_digits(e.edge_exact->dags, e.edge_exact->classes);
        e.dags_per_class.exact_value = 1 / e.edge_exact->classes_per_dag;
    }
    return e;
}

std::string format_log10(double log10_value) {
    if (std::isnan(log10_value)) {
        return "nan";
    }
    if (log10_value == infinity) {
        return "inf";
    }
    if (log10_value == -infinity) {
        return "0";
    }
    char text[64];
    if (std::abs(log10_value) < 300) {
        std::snprintf(text, sizeof text, "%#.5g", std::pow(10.0, log10_value));
        return text;
    }
    double exponent = std::floor(log10_value);
    double mantissa = std::pow(10.0, log10_value - exponent);
    // Rounding to 5 digits may carry into the next power of ten.
    if (mantissa >= 9.99995) {
        mantissa = 1;
        exponent += 1;
    }
    std::snprintf(text, sizeof text, "%.4fe%+.0f", mantissa, exponent);
    return text;
}

std::optional<double> from_log10(double log10_value) {
    const double value = std::pow(10.0, log10_value);
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

}  // namespace pellimor
