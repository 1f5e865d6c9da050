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
        // lacks; invalid UTF-8 is replaced rather than thrown on.
        ending.json =
            summary_json(report).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) +
            "\n";
    }
    return ending;
}

}  // namespace pellimor
