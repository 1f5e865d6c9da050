#pragma once

// The readable block a run prints after its last report line: what was run,
// the shares with their intervals, the move rates, the exact method's
// weighted estimates, the counts, and the mixing check.

#include <optional>
#include <string>

#include "stats/mixing_check.hpp"
#include "stats/run_info.hpp"
#include "stats/run_statistics.hpp"

namespace pellimor {

// The summary of every sample in `statistics`, ending in a newline. `mixing`
// is the walk's mixing check (nothing for the exact method).
std::string format_summary(const RunInfo& info, const RunStatistics& statistics,
                           const std::optional<MixingCheckResult>& mixing);

}  // namespace pellimor
