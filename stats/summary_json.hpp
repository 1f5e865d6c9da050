#pragma once

// The summary of a run as one JSON document, with the same content as the
// readable block. Values that are not finite (a share of no samples, a bound
// beyond double) are null; counts beyond double are given by their log10.

#include <nlohmann/json.hpp>

#include "stats/run_report.hpp"

namespace pellimor {

nlohmann::json summary_json(const RunReport& report);

}  // namespace pellimor
