#pragma once

// Writing a JSON document so that readers see either the old file or the
// whole new one, never a part.

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace pellimor {

// Writes `document` (indented, ending in a newline) to a temporary file in
// the folder of `path`, flushes it to disk and renames it over `path`.
// Returns what went wrong, naming the file and the system's reason, or
// nothing on success; on failure no temporary file is left behind.
std::optional<std::string> write_json_atomically(const std::string& path,
                                                 const nlohmann::json& document);

}  // namespace pellimor
