#pragma once

// What a run writes when it ends, from its report: the mixing check's
// warning, the summary block and the JSON document. The caller writes them
// where the user asked.

#include <string>

#include "stats/run_report.hpp"

namespace pellimor {

struct RunEndingRequest {
    bool summary = false;  // the summary block
    bool json = false;     // the JSON document
};

struct RunEnding {
    std::string warning;  // for standard error; empty unless a walk's mixing check failed
    std::string summary;  // empty unless asked for
    std::string json;     // empty unless asked for
};

RunEnding end_run(const RunReport& report, const RunEndingRequest& request);

}  // namespace pellimor
