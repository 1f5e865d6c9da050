#include "stats/summary.hpp"

#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "counts/significant_digits.hpp"
#include "stats/class_summary.hpp"
#include "stats/estimates.hpp"

namespace pellimor {

namespace {

// Exact integers longer than this print as 5 significant digits.
constexpr std::size_t longest_printed_integer = 40;

const char* const move_names[move_kind_count] = {
    "stay", "add line", "remove line", "add arrow", "remove arrow", "add vee", "remove vee",
};

template <typename... Args>
void append(std::string& text, const char* format, Args... args) {
    char line[512];
    std::snprintf(line, sizeof line, format, args...);
    text += line;
}

std::string z_text(double z) {
    if (std::isnan(z)) {
        return "";
    }
    char text[32];
    std::snprintf(text, sizeof text, "z = %.2f", z);
    return text;
}

std::string exact_share(const std::optional<double>& exact) {
    if (!exact) {
        return "";
    }
    char text[32];
    std::snprintf(text, sizeof text, "exact %.5f", *exact);
    return text;
}

// An exact count as printed: the integer while it is short, else 12
// significant digits.
std::string short_exact(const std::string& count) {
    if (count.size() <= longest_printed_integer ||
        count.find_first_not_of("0123456789") != std::string::npos) {
        return count;
    }
    return significant_digits(mpz_class(count), mpz_class(1));
}

std::string exact_integer(const ExactCount& c) {
    if (c.decimal) {
        return short_exact(*c.decimal);
    }
    return format_log10(c.log10);
}

void share_line(std::string& text, const char* what, const ShareEstimate& s) {
    const std::string exact = exact_share(s.exact);
    append(text, "  %-26s %8" PRId64 " / %-8" PRId64 " %.5f  [%.5f, %.5f]  %s  %s\n", what, s.count,
           s.of, s.interval.estimate, s.interval.low, s.interval.high, exact.c_str(),
           z_text(s.z).c_str());
}

void ratio_line(std::string& text, const char* what, const RatioEstimate& r) {
    const std::string exact = exact_share(r.exact);
    append(text, "  %-26s %.5f  [%.5f, %.5f]  %s  %s\n", what, r.interval.estimate, r.interval.low,
           r.interval.high, exact.c_str(), z_text(r.z).c_str());
}

void count_line(std::string& text, const char* what, const CountEstimate& c) {
    std::string exact;
    if (c.exact) {
        exact = "exact " + short_exact(*c.exact);
    }
    append(text, "  %-26s %s  [%s, %s]  %s  %s\n", what, format_log10(c.log10_estimate).c_str(),
           format_log10(c.log10_low).c_str(), format_log10(c.log10_high).c_str(), exact.c_str(),
           z_text(c.exact ? c.z : std::nan("")).c_str());
}

// The edges and counts of a run bounded by edges.
void edge_bound_lines(std::string& text, const RunInfo& info, const RunEstimates& e) {
    const std::string bound = describe_edge_bound(info.edge_bound);
    const std::int64_t top = info.edge_bound.edges;
    append(text, "\n Edges (mean +- 1.96 standard errors)\n");
    std::string exact_mean;
    std::string exact_share_text;
    if (e.edge_exact) {
        char line[64];
        std::snprintf(line, sizeof line, "exact %.5f", e.edge_exact->mean_edges);
        exact_mean = line;
        std::snprintf(line, sizeof line, "exact %.5f", e.edge_exact->share_at_bound);
        exact_share_text = line;
    }
    append(text, "  %-26s %.4f +- %.4f  %s\n", "mean edges", e.edges_seen.mean,
           z_95 * e.edges_seen.standard_error, exact_mean.c_str());
    if (info.edge_bound.kind == EdgeBoundKind::AT_MOST) {
        const std::string what = "share at " + std::to_string(top) + " edges";
        append(text, "  %-26s %.5f +- %.5f  %s\n", what.c_str(), e.at_bound_seen.mean,
               z_95 * e.at_bound_seen.standard_error, exact_share_text.c_str());
    }

    append(text, "\n Counts (%s)\n", bound.c_str());
    if (!e.edge_exact) {
        append(text,
               "  exact counts by edges are computed for n_vars <= %d only (they cost about "
               "n^7 steps)\n",
               edge_counts_run_limit);
    } else {
        append(text, "  %-26s %s\n", "DAGs", exact_integer(e.dags).c_str());
    }
    if (info.method != METHOD_WALK) {
        if (e.edge_exact) {
            count_line(text, "classes", e.essential_graphs);
        }
        count_line(text, "classes per DAG", e.classes_per_dag);
        count_line(text, "DAGs per class", e.dags_per_class);
        if (e.edge_exact) {
            text += "  (classes = DAGs * classes per DAG)\n";
        }
    } else if (e.edge_exact) {
        append(text, "  %-26s %s\n", "classes",
               e.edge_exact->classes.size() <= longest_printed_integer
                   ? e.edge_exact->classes.c_str()
                   : format_log10(e.edge_exact->log10_classes).c_str());
        append(text, "  %-26s %s\n", "classes per DAG", e.classes_per_dag.exact->c_str());
    }
}

}  // namespace

std::string format_summary(const RunReport& report) {
    const RunInfo& info = report.info;
    const RunEstimates& e = report.estimates;
    const std::optional<MixingCheckResult>& mixing = report.mixing;
    std::string text = "\n Summary\n";
    if (info.method == METHOD_WALK) {
        append(text, "  method                     walk of %d moves from the %s graph\n",
               info.n_its, info.start == "exact" ? "exact sampler's" : info.start.c_str());
    } else if (info.method == METHOD_DAGS) {
        text +=
            "  method                     uniform DAGs (shares and statistics over DAGs;\n"
            "                             weighted by 1/s, over classes)\n";
    } else {
        text += "  method                     exact sampler\n";
    }
    append(text, "  n_vars                     %d\n", info.n_vars);
    if (e.bounded) {
        append(text, "  edges                      %s (lines and arrows)\n",
               describe_edge_bound(info.edge_bound).c_str());
    }
    append(text, "  samples                    %" PRId64 " of %" PRId64 "%s\n", e.samples,
           info.n_samples, info.complete ? "" : " (stopped early)");
    append(text, "  seed                       %" PRIu64 "\n", info.seed);
    append(text, "  threads                    %d\n", info.threads);
    append(text, "  seconds                    %.3f\n", info.seconds);

    text += "\n Shares (95% Wilson intervals)\n";
    share_line(text, "no lines", e.no_lines);
    share_line(text, "connected", e.connected);
    share_line(text, "connected among no lines", e.connected_among_no_lines);
    share_line(text, "no lines among connected", e.no_lines_among_connected);

    if (e.has_move_rates) {
        text += "\n Move rates (mean +- 1.96 standard errors)\n";
        for (int k = 0; k < move_kind_count; ++k) {
            append(text, "  %-26s %.6f +- %.6f\n", move_names[k], e.rate_mean[k],
                   z_95 * e.rate_standard_error[k]);
        }
    }
    if (e.has_weighted) {
        append(text, "\n Weighted over all %" PRId64 " DAGs drawn (95%% delta-method intervals)\n",
               e.dags_drawn);
        ratio_line(text, "no lines", e.weighted_no_lines);
        ratio_line(text, "connected", e.weighted_connected);
        if (e.weighted_no_lines.no_event_seen || e.weighted_connected.no_event_seen) {
            text +=
                "  (a share of 0 or 1: Wilson interval over the effective number of samples,\n"
                "  (sum w)^2 / sum w^2 with w = sum of 1/s over a sample's DAGs)\n";
        }
        if (e.weighted_no_lines.beyond_delta_method || e.weighted_connected.beyond_delta_method) {
            text +=
                "  (near 0 or 1, where the delta method's interval would leave [0, 1]: Wilson\n"
                "  interval over share (1 - share) / se^2 samples)\n";
        }
    }

    if (e.bounded) {
        edge_bound_lines(text, info, e);
        append_class_summary(text, report.classes);
        if (mixing) {
            append(text, "\n Mixing check (walks of %d moves)\n", mixing->n_its);
            text += describe_mixing_check(*mixing);
        }
        return text;
    }
    text += "\n Counts\n";
    append(text, "  %-26s %s\n", "DAGs a(n)", exact_integer(e.dags).c_str());
    append(text, "  %-26s %s\n", "essential DAGs e(n)", exact_integer(e.essential_dags).c_str());
    count_line(text, "essential graphs", e.essential_graphs);
    count_line(text, "classes per DAG", e.classes_per_dag);
    count_line(text, "DAGs per class", e.dags_per_class);
    if (!e.mean_edges.text.empty()) {
        append(text, "  %-26s exact %s, variance %s\n",
               e.over_dags ? "mean edges of a DAG" : "mean edges of a class",
               e.mean_edges.text.c_str(), e.variance_edges.text.c_str());
    }
    text += info.method == METHOD_WALK ? "  (essential graphs = e(n) / share without lines)\n"
                                       : "  (essential graphs = a(n) * classes per DAG)\n";

    append_class_summary(text, report.classes);

    if (mixing) {
        append(text, "\n Mixing check (walks of %d moves)\n", mixing->n_its);
        text += describe_mixing_check(*mixing);
    }
    return text;
}

}  // namespace pellimor
