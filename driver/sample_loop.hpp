#pragma once

// The sample loop: runs the samples of one estimation, keeps the running
// totals in sample order, and every 100 samples prints the report line on
// standard output and appends it to the results file.

#include <chrono>
#include <cstdint>

#include "driver/command_line.hpp"
#include "driver/run_outputs.hpp"
#include "stats/run_info.hpp"

namespace pellimor {

// A run seed that differs between runs started at the same moment: a
// high-resolution clock reading mixed with the process id.
std::uint64_t fresh_run_seed();

// Runs the estimation the options describe, writing to `outputs`; the JSON
// records `provenance`. `start` is
// the moment the process started; report lines give the hours since then.
// Returns the exit status: 0 when every report line was printed and saved,
// 1 when one was not (or, with --strict, when the mixing check flagged the
// walks), 128 + N when signal N stopped the run. Throws std::bad_alloc when a
// graph does not fit in memory.
int run_estimation(const Options& options, RunOutputs& outputs, const Provenance& provenance,
                   std::chrono::steady_clock::time_point start);

}  // namespace pellimor
