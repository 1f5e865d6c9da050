#include "stats/run_ending.hpp"

#include "stats/summary.hpp"
#include "stats/summary_json.hpp"

namespace pellimor {

RunEnding end_run(const RunInfo& info, const RunStatistics& samples, const RunStatistics* reference,
                  const RunEndingRequest& request) {
    RunEnding ending;
    if (info.method == METHOD_WALK) {
        ending.mixing = check_mixing(info.n_its, samples, reference);
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
