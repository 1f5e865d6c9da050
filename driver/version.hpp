#pragma once

// The version of this build: the project version, followed by "+g<commit>"
// when built from a git checkout and "-dirty" when it had local changes
// (cmake/write_version.cmake writes its definition at build time).

#include <string_view>

namespace pellimor {

std::string_view version();

}  // namespace pellimor
