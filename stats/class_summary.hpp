#pragma once

// The classes' part of the summary, as text and as JSON (stats/summary.hpp,
// stats/summary_json.hpp): their mean statistics and the distribution of
// their sizes.

#include <nlohmann/json.hpp>
#include <string>

#include "stats/class_estimates.hpp"

namespace pellimor {

// Appends the two blocks "Classes" and "Class sizes" to a summary.
void append_class_summary(std::string& text, const ClassEstimates& c);

// The same as the JSON object "class_statistics".
nlohmann::json class_statistics_json(const ClassEstimates& c);

}  // namespace pellimor
