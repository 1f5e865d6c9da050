#pragma once

// The files a run writes besides standard output, settled before the run
// starts: the results file (unless --no-results) and the files named by
// options such as --json. Each must be a different file: a JSON document
// written over the results file would destroy its earlier lines.

#include <optional>
#include <stdexcept>
#include <string>

#include "driver/command_line.hpp"
#include "driver/output_target.hpp"
#include "driver/samples_file.hpp"
#include "run/run_request.hpp"

namespace pellimor {

// An output that cannot be written (a missing folder, no permission); main
// reports it and ends the run with status 1 before it starts.
class OutputError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct RunOutputs {
    std::optional<std::string> results_file;  // report lines are appended here
    std::optional<OutputTarget> json;         // --json FILE
    std::optional<SamplesFile> samples;       // --samples FILE
};

// The results file of the sampling run `run` that the options ask for:
// --results FILE, nothing with --no-results, else pellimor_<n_vars>.txt
// (pellimor_exact_<n_vars>.txt for the exact method).
std::optional<std::string> results_file_for(const Options& options, const RunRequest& run);

// Checks the outputs and opens the named targets; `run` is the sampling run,
// nullptr for --count (which keeps no results file). Throws UsageError when
// two outputs name the same file, OutputError when one cannot be written.
RunOutputs prepare_outputs(const Options& options, const RunRequest* run);

}  // namespace pellimor
