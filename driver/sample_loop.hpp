#pragma once

// A sampling run from the command line: the run layer's run (run/run.hpp)
// with the command line's outputs around it. Every 100 samples the report
// line goes to standard output and is appended to the results file; the
// progress line, the samples' records, signals, and at the end the mixing
// check's warning, the summary and the JSON are written here.

#include <chrono>
#include <cstdint>

#include "driver/command_line.hpp"
#include "driver/run_outputs.hpp"
#include "run/run_request.hpp"
#include "stats/run_info.hpp"

namespace pellimor {

// A run seed that differs between runs started at the same moment: a
// high-resolution clock reading mixed with the process id.
std::uint64_t fresh_run_seed();

// Runs `request` (made from `options` by request_of(), with its seed set),
// writing to `outputs`; the JSON records `provenance`. `start` is the moment
// the process started; report lines give the hours since then. Returns the
// exit status: 0 when every report line was printed and saved, 1 when one
// was not (or, with --strict, when the mixing check flagged the walks), 2
// when an exact draw bounded by edges would take more than an hour (without
// --force), 128 + N when signal N stopped the run. Memory that runs out
// while the samples are drawn fails the run (status 1) with its outputs
// written as after a stop; std::bad_alloc is thrown when the plan's graphs
// or tables do not fit, or the walk's reference.
int run_estimation(const Options& options, const RunRequest& request, RunOutputs& outputs,
                   const Provenance& provenance, std::chrono::steady_clock::time_point start);

}  // namespace pellimor
