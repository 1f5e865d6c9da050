#include "stats/run_ending.hpp"

#include <limits>

#include "counts/count_table.hpp"
#include "stats/summary.hpp"
#include "stats/summary_json.hpp"

namespace pellimor {

RunEnding end_run(const RunInfo& info, const RunStatistics& samples, const RunStatistics* reference,
                  const RunEndingRequest& request, const ReferenceNote& note) {
    RunEnding ending;
    if (info.method == METHOD_WALK) {
        // A walk bounded by edges has no known exact share without lines; it
        // has the exact edge distribution where the counts by edges reach.
        const bool bounded = info.edge_bound.kind != EDGES_ANY;
        const std::optional<EdgeBoundExact> exact_edges =
            bounded ? edge_bound_exact(info.n_vars, info.edge_bound) : std::nullopt;
        ending.mixing =
            check_mixing(info.n_its, samples,
                         bounded ? std::numeric_limits<double>::quiet_NaN()
                                 : count_row(info.n_vars).no_lines.value,
                         reference, note.seconds, exact_edges ? &*exact_edges : nullptr);
        if (!ending.mixing->has_reference) {
            ending.mixing->no_reference_reason = note.missing_reason;
        }
        ending.warning = mixing_warning(*ending.mixing);
    }
    if (request.summary) {
        ending.summary = format_summary(info, samples, ending.mixing);
    }
    if (request.json) {
        // nan and inf are never stored, so dump cannot meet a value JSON
        // lacks.
        ending.json = json_document(summary_json(info, samples, ending.mixing));
    }
    return ending;
}

}  // namespace pellimor
