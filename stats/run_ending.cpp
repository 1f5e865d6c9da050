#include "stats/run_ending.hpp"

#include "stats/json_file.hpp"
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
    if (request.json_path) {
        ending.json_error =
            write_json_atomically(*request.json_path, summary_json(info, samples, ending.mixing));
    }
    return ending;
}

}  // namespace pellimor
