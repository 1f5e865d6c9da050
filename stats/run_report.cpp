#include "stats/run_report.hpp"

#include <limits>

namespace pellimor {

RunReport report_run(const RunInfo& info, const RunStatistics& samples, const ExactValues& exact,
                     const RunStatistics* reference, const ReferenceNote& note) {
    RunReport report{info, estimate_run(info, samples, exact), {}, std::nullopt};
    report.classes = estimate_classes(report.estimates, samples.classes);
    if (info.method == METHOD_WALK) {
        // A walk bounded by edges has no known exact share without lines; it
        // has the exact edge distribution where the counts by edges reach.
        const bool bounded = info.edge_bound.bounded();
        report.mixing = check_mixing(
            info.n_its, samples,
            bounded ? std::numeric_limits<double>::quiet_NaN() : exact.counts->no_lines.value,
            reference, note.seconds, bounded && exact.edge_bound ? &*exact.edge_bound : nullptr);
        if (!report.mixing->has_reference) {
            report.mixing->no_reference_reason = note.missing_reason;
        }
    }
    return report;
}

}  // namespace pellimor
