#pragma once

// Everything a run states when it ends, computed once from its statistics
// and the exact values: the estimates, the classes' estimates and, for a
// walk, the mixing check. The summary block and the JSON document are both
// written from it (stats/summary.hpp, stats/summary_json.hpp).

#include <optional>
#include <string>

#include "stats/class_estimates.hpp"
#include "stats/estimates.hpp"
#include "stats/exact_values.hpp"
#include "stats/mixing_check.hpp"
#include "stats/run_info.hpp"
#include "stats/run_statistics.hpp"

namespace pellimor {

// How a walk's exact reference went: the seconds it took, and why none was
// drawn when none was.
struct ReferenceNote {
    double seconds = 0;
    std::string missing_reason;
};

struct RunReport {
    RunInfo info;
    RunEstimates estimates;
    ClassEstimates classes;
    std::optional<MixingCheckResult> mixing;  // walks only
};

// `samples` holds every finished sample of the run; `reference`, for a walk,
// the exact classes drawn for the mixing check (nullptr when none were drawn,
// e.g. when mixing_skip_reason says the check is skipped). `exact` as
// estimate_run() needs it. The mixing check runs for every walk.
RunReport report_run(const RunInfo& info, const RunStatistics& samples, const ExactValues& exact,
                     const RunStatistics* reference = nullptr, const ReferenceNote& note = {});

}  // namespace pellimor
