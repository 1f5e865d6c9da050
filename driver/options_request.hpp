#pragma once

// The run a command line asks for: its options as the run layer's request.
// Which method, which bound and what to keep is decided here, once; the rest
// of the driver reads the request.

#include "driver/command_line.hpp"
#include "run/run_request.hpp"

namespace pellimor {

// The request of a sampling run (not --count, --help, --version): --threads,
// or every usable CPU; --seed, or 0 (main draws a fresh one first). Classes'
// vees are counted with --stats, and for --samples records with graphs.
RunRequest request_of(const Options& options);

}  // namespace pellimor
