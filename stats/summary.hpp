#pragma once

// The readable block a run prints after its last report line: what was run,
// the shares with their intervals, the move rates, the exact method's
// weighted estimates, the counts, and the mixing check.

#include <string>

#include "stats/run_report.hpp"

namespace pellimor {

// The summary of a run, ending in a newline.
std::string format_summary(const RunReport& report);

}  // namespace pellimor
