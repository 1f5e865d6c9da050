#pragma once

// What a run reports when it ends, in one call: the mixing check of a walk,
// its warning, the summary block and the JSON document. The driver writes
// them where the user asked.

#include <optional>
#include <string>

#include "stats/mixing_check.hpp"
#include "stats/run_info.hpp"
#include "stats/run_statistics.hpp"

namespace pellimor {

struct RunEndingRequest {
    bool summary = false;  // --summary
    bool json = false;     // --json FILE
};

struct RunEnding {
    std::string warning;                      // for standard error; empty unless the check failed
    std::string summary;                      // for standard output; empty unless asked for
    std::string json;                         // the JSON document; empty unless asked for
    std::optional<MixingCheckResult> mixing;  // walks only
};

// How a walk's exact reference went: the seconds it took, and why none was
// drawn when none was.
struct ReferenceNote {
    double seconds = 0;
    std::string missing_reason;
};

// `samples` holds every finished sample of the run; `reference`, for a walk,
// the exact classes drawn for the mixing check (nullptr when none were drawn,
// e.g. when mixing_skip_reason says the check is skipped). The mixing check
// runs for every walk, whatever the request.
RunEnding end_run(const RunInfo& info, const RunStatistics& samples, const RunStatistics* reference,
                  const RunEndingRequest& request, const ReferenceNote& note = {});

}  // namespace pellimor
