#pragma once

// What a run writes when it ends, in one call: the mixing check of a walk,
// its warning, the summary block and the JSON file.

#include <optional>
#include <string>

#include "stats/mixing_check.hpp"
#include "stats/run_info.hpp"
#include "stats/run_statistics.hpp"

namespace pellimor {

struct RunEndingRequest {
    bool summary = false;                  // --summary
    std::optional<std::string> json_path;  // --json FILE
};

struct RunEnding {
    std::string warning;                      // for standard error; empty unless the check failed
    std::string summary;                      // for standard output; empty unless asked for
    std::optional<std::string> json_error;    // why the JSON file was not written
    std::optional<MixingCheckResult> mixing;  // walks only
};

// `samples` holds every finished sample of the run; `reference`, for a walk,
// the exact classes drawn for the mixing check (nullptr when none were drawn,
// e.g. when mixing_skip_reason says the check is skipped). The mixing check
// runs for every walk, whatever the request.
RunEnding end_run(const RunInfo& info, const RunStatistics& samples, const RunStatistics* reference,
                  const RunEndingRequest& request);

}  // namespace pellimor
