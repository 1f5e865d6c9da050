#pragma once

// The summary of a run as one JSON document, with the same content as the
// readable block. Values that are not finite (a share of no samples, a bound
// beyond double) are null; counts beyond double are given by their log10.

#include <nlohmann/json.hpp>
#include <string>

#include "stats/run_report.hpp"

namespace pellimor {

nlohmann::json summary_json(const RunReport& report);

// A document's text as it is written: indented by two, ending in a newline.
// Text that is not valid UTF-8 (a file name on the command line, say) is
// replaced rather than thrown on.
std::string json_document(const nlohmann::json& document);

}  // namespace pellimor
