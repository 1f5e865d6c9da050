#pragma once

// A parsed command line written back as arguments, one way only: options in
// a fixed order as "--name" or "--name=value", then the positional numbers.
// Two command lines that parse to the same options give the same canonical
// arguments, whatever their order or spelling ("--seed 1" and "--seed=1").
// The ranks of a cluster run compare theirs to find ranks started with other
// settings.

#include <string>
#include <vector>

#include "driver/command_line.hpp"

namespace pellimor {

// Every field of `options`, as arguments that parse back to the same options.
std::vector<std::string> canonical_arguments(const Options& options);

// The canonical arguments every rank of a cluster run must share: all but
// --threads, which may differ with the machines the ranks run on.
std::vector<std::string> shared_arguments(const Options& options);

// The arguments as one line for messages, each quoted when it holds a blank
// or a quote.
std::string arguments_text(const std::vector<std::string>& arguments);

}  // namespace pellimor
