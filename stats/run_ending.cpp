#include "stats/run_ending.hpp"

#include "stats/summary.hpp"
#include "stats/summary_json.hpp"

namespace pellimor {

RunEnding end_run(const RunInfo& info, const RunStatistics& samples, const RunStatistics* reference,
                  const RunEndingRequest& request) {
    RunEnding ending;
    if (info.method == METHOD_WALK) {
        const std::optional<EdgeBoundExact> exact_edges =
            info.edge_bound.kind == EDGES_AT_MOST ? edge_bound_exact(info.n_vars, info.edge_bound)
                                                  : std::nullopt;
        ending.mixing =
            check_mixing(info.n_its, samples, reference, exact_edges ? &*exact_edges : nullptr);
        ending.warning = mixing_warning(*ending.mixing);
    }
    if (request.summary) {
        ending.summary = format_summary(info, samples, ending.mixing);
    }
    if (request.json) {
        // nan and inf are never stored, so dump cannot meet a value JSON
        // lacks; invalid UTF-8 is replaced rather than thrown on.
        ending.json = summary_json(info, samples, ending.mixing)
                          .dump(2, ' ', false, nlohmann::json::error_handler_t::replace) +
                      "\n";
    }
    return ending;
}

}  // namespace pellimor
