#pragma once

// Whether the walk was long enough to forget its start: the walk's share of
// samples without lines against the exact share at n_vars (a walk trapped
// alike in both of its halves passes the next comparison, not this one); the
// graph after half the walk against the graph after all of it (paired over
// the samples); and, where exact classes were drawn for it, the walk's mean
// line count against theirs, the one compared value without an exact
// value. Each comparison gives a z; any |z| > mixing_z_limit fails the check.

#include <cstdint>
#include <optional>
#include <string>

#include "stats/edge_bound_exact.hpp"
#include "stats/run_statistics.hpp"

namespace pellimor {

inline constexpr double mixing_z_limit = 4;
// Runs with fewer samples skip the check.
inline constexpr std::int64_t mixing_min_samples = 100;

// Exact classes to draw at most as the reference of a run of n_samples
// samples: max(1000, n_samples).
std::int64_t reference_sample_count(std::int64_t n_samples);

// The reference may take at most this share of the walk's time. Its draws
// stop at reference_draw_share, leaving room for its setup, the class being
// drawn and a busy machine; a reference of fewer than mixing_min_samples
// classes is left out.
inline constexpr double reference_time_share = 0.05;
inline constexpr double reference_draw_share = 0.04;

// The note for a walk whose reference was left out for its cost.
std::string reference_too_costly();

// Why a walk of n_its moves with `samples` samples skips the check, or
// nothing when it runs. Ask before drawing the reference.
std::optional<std::string> mixing_skip_reason(int n_its, std::int64_t samples);

// One compared value: the walk's (for the half-walk comparison: after the
// whole walk), the other side's (the exact value; after half the walk; the
// reference's), and the z of their difference. z is not a number when it
// cannot be computed.
struct MixingComparison {
    double walk = 0;
    double other = 0;
    double z = 0;

    bool flagged() const;  // |z| > mixing_z_limit
};

struct MixingCheckResult {
    int n_its = 0;
    std::optional<std::string> skipped;  // the reason, when the check did not run

    // Share of samples without lines against the exact share, z under the
    // binomial standard error of the exact share.
    bool has_exact_no_lines = true;
    MixingComparison exact_no_lines;
    MixingComparison half_no_lines;  // share of samples without lines
    MixingComparison half_lines;     // mean line count

    bool has_reference = false;
    std::int64_t reference_samples = 0;
    double reference_seconds = 0;
    MixingComparison reference_lines;
    std::string no_reference_reason;  // why none was drawn, when has_reference is false
    // Walks bounded by edges, whose exact share without lines is not known:
    // the share against the reference's, and the mean edge count against the
    // reference's.
    bool has_reference_bounded = false;
    MixingComparison reference_no_lines;
    MixingComparison reference_edges;

    // Walks bounded by edges, where the counts by edges reach: the mean edge
    // count and the share with exactly the bound, against the exact values.
    bool has_exact_edges = false;
    EdgeBound edge_bound;
    MixingComparison exact_mean_edges;
    MixingComparison exact_share_at_bound;

    bool passed = true;  // also true when skipped
};

// Compares the walk's statistics with the exact share without lines (left out
// when it is not a number, as for walks bounded by edges), after its own
// halves and, when given, with the line counts of exact samples that took
// reference_seconds to draw (for a walk bounded by edges also their no-line
// shares and edge counts), and with the exact edge distribution of the walk's
// bound (`exact_edges`, under at most E).
MixingCheckResult check_mixing(int n_its, const RunStatistics& walk, double exact_no_lines,
                               const RunStatistics* reference, double reference_seconds = 0,
                               const EdgeBoundExact* exact_edges = nullptr);

// The comparisons as indented lines ("  share without lines: ..."), or the
// skip note; used by the summary and the warning.
std::string describe_mixing_check(const MixingCheckResult& result);

// For standard error: empty when the check passed or was skipped; else a
// warning naming the walk length and every comparison, saying the estimates
// are likely biased and what to try instead.
std::string mixing_warning(const MixingCheckResult& result);

}  // namespace pellimor
