#pragma once

// The module's functions take their arguments as the equivalent command
// line, which the program's own parser checks: a Python caller gets the same
// checks and the same messages (as ValueError) as the command line.

#include <string>
#include <vector>

#include "driver/command_line.hpp"

namespace pellimor::python {

// Parses `args` (the arguments after the program name). Throws UsageError,
// which the module raises as ValueError.
Options parse_arguments(const std::vector<std::string>& args);

// "pellimor" and the arguments, quoted for a shell where they need it.
std::string command_line_of(const std::vector<std::string>& args);

}  // namespace pellimor::python
