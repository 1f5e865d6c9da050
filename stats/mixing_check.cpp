#include "stats/mixing_check.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace pellimor {

std::string reference_too_costly() {
    char text[120];
    std::snprintf(text, sizeof text, "%lld classes would take more than %.0f%% of the run",
                  static_cast<long long>(mixing_min_samples), 100 * reference_time_share);
    return text;
}

std::int64_t reference_sample_count(std::int64_t n_samples) {
    return std::max<std::int64_t>(1000, n_samples);
}

std::optional<std::string> mixing_skip_reason(int n_its, std::int64_t samples) {
    if (n_its <= 0) {
        return "n_its is 0, so there is no walk to check";
    }
    if (samples < mixing_min_samples) {
        return "fewer than " + std::to_string(mixing_min_samples) + " samples";
    }
    return std::nullopt;
}

bool MixingComparison::flagged() const {
    return std::abs(z) > mixing_z_limit;
}

namespace {

// The paired comparison: the mean of (full - half) over the samples against 0.
MixingComparison paired(const MeanAccumulator& full, const MeanAccumulator& gain) {
    return {full.mean, full.mean - gain.mean, z_score(gain.mean, gain.standard_error(), 0, 0)};
}

MixingComparison two_sample(const MeanAccumulator& walk, const MeanAccumulator& reference) {
    return {walk.mean, reference.mean,
            z_score(walk.mean, walk.standard_error(), reference.mean, reference.standard_error())};
}

std::string comparison_line(const char* what, const char* walk_name, const char* other_name,
                            const MixingComparison& c) {
    char line[200];
    std::snprintf(line, sizeof line, "  %-20s %s %.4f, %s %.4f, z = %.2f%s\n", what, walk_name,
                  c.walk, other_name, c.other, c.z, c.flagged() ? "  <- too far apart" : "");
    return line;
}

}  // namespace

MixingCheckResult check_mixing(int n_its, const RunStatistics& walk, double exact_no_lines,
                               const RunStatistics* reference, double reference_seconds,
                               const EdgeBoundExact* exact_edges) {
    MixingCheckResult result;
    result.n_its = n_its;
    result.skipped = mixing_skip_reason(n_its, walk.samples);
    if (result.skipped) {
        return result;
    }
    // The shares as counts over samples, not as a mean less a mean, which
    // rounding can put past 1.
    const auto samples = static_cast<double>(walk.samples);
    const double share = static_cast<double>(walk.no_lines_count) / samples;
    const double se = std::sqrt(exact_no_lines * (1 - exact_no_lines) / samples);
    result.has_exact_no_lines = !std::isnan(exact_no_lines);
    result.exact_no_lines = {share, exact_no_lines,
                             result.has_exact_no_lines ? z_score(share, se, exact_no_lines, 0) : 0};
    result.half_no_lines = paired(walk.no_lines, walk.no_lines_gain);
    result.half_no_lines.walk = static_cast<double>(walk.no_lines_count) / samples;
    result.half_no_lines.other = static_cast<double>(walk.half_no_lines_count) / samples;
    result.half_lines = paired(walk.lines, walk.lines_gain);
    result.passed = !result.exact_no_lines.flagged() && !result.half_no_lines.flagged() &&
                    !result.half_lines.flagged();
    if (reference != nullptr && reference->samples > 0) {
        result.has_reference = true;
        result.reference_samples = reference->samples;
        result.reference_seconds = reference_seconds;
        result.reference_lines = two_sample(walk.lines, reference->lines);
        result.passed = result.passed && !result.reference_lines.flagged();
        if (walk.edge_bound.bounded()) {
            result.has_reference_bounded = true;
            result.reference_no_lines = two_sample(walk.no_lines, reference->no_lines);
            result.reference_edges = two_sample(walk.edges, reference->edges);
            result.passed = result.passed && !result.reference_no_lines.flagged() &&
                            !result.reference_edges.flagged();
        }
    }
    if (exact_edges != nullptr && walk.edge_bound.bounded() && walk.samples > 1) {
        // The walk's mean against the exact mean, with the walk's standard
        // error; its share at the bound with the binomial one under the truth.
        result.has_exact_edges = true;
        result.edge_bound = walk.edge_bound;
        result.exact_mean_edges = {
            walk.edges.mean, exact_edges->mean_edges,
            z_score(walk.edges.mean, walk.edges.standard_error(), exact_edges->mean_edges, 0)};
        const double p = exact_edges->share_at_bound;
        const double share = walk.at_edge_bound.mean;
        result.exact_share_at_bound = {
            share, p,
            (share - p) / std::sqrt(p * (1 - p) / static_cast<double>(walk.at_edge_bound.count))};
        result.passed = result.passed && !result.exact_mean_edges.flagged() &&
                        !result.exact_share_at_bound.flagged();
    }
    return result;
}

std::string describe_mixing_check(const MixingCheckResult& result) {
    if (result.skipped) {
        return "  skipped: " + *result.skipped + "\n";
    }
    std::string text = result.has_exact_no_lines ? comparison_line("share without lines", "walk",
                                                                   "exact", result.exact_no_lines)
                                                 : "";
    text += comparison_line("share without lines", "full walk", "half walk", result.half_no_lines);
    text += comparison_line("mean lines", "full walk", "half walk", result.half_lines);
    if (result.has_reference) {
        char name[80];
        std::snprintf(name, sizeof name, "exact reference (%lld classes, %.3f s)",
                      static_cast<long long>(result.reference_samples), result.reference_seconds);
        text += comparison_line("mean lines", "walk", name, result.reference_lines);
        if (result.has_reference_bounded) {
            text += comparison_line("share without lines", "walk", name, result.reference_no_lines);
            text += comparison_line("mean edges", "walk", name, result.reference_edges);
        }
    } else {
        text += "  mean lines: no exact reference";
        text += result.no_reference_reason.empty() ? "" : " (" + result.no_reference_reason + ")";
        text += "\n";
    }
    if (result.has_exact_edges) {
        text += comparison_line("mean edges", "walk", "exact", result.exact_mean_edges);
        const std::string what = "share at " + std::to_string(result.edge_bound.edges) + " edges";
        text += comparison_line(what.c_str(), "walk", "exact", result.exact_share_at_bound);
    }
    char verdict[64];
    std::snprintf(verdict, sizeof verdict,
                  result.passed ? "  passed: every |z| <= %g\n" : "  FAILED: some |z| > %g\n",
                  mixing_z_limit);
    text += verdict;
    return text;
}

std::string mixing_warning(const MixingCheckResult& result) {
    if (result.skipped || result.passed) {
        return {};
    }
    return "pellimor: warning: walks of " + std::to_string(result.n_its) +
           " moves look too short to reach the uniform distribution; the estimates are likely "
           "biased:\n" +
           describe_mixing_check(result) +
           "  Try a longer n_its, or start every walk from an exact sample with --start exact.\n";
}

}  // namespace pellimor
