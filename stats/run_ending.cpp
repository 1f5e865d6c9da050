#include "stats/run_ending.hpp"

#include "stats/summary.hpp"
#include "stats/summary_json.hpp"

namespace pellimor {

RunEnding end_run(const RunReport& report, const RunEndingRequest& request) {
    RunEnding ending;
    if (report.mixing) {
        ending.warning = mixing_warning(*report.mixing);
    }
    if (request.summary) {
        ending.summary = format_summary(report);
    }
    if (request.json) {
        // nan and inf are never stored, so dump cannot meet a value JSON
        // lacks.
        ending.json = json_document(summary_json(report));
    }
    return ending;
}

}  // namespace pellimor
