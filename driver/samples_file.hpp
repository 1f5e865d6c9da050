#pragma once

// Where --samples writes the samples' records (one JSON line each), whole or
// not at all, on the rules of every named output (driver/output_target.hpp):
// - "-" (or a path naming standard output's file): standard output, written
//   as the run goes;
// - an existing file that is not a regular file (a FIFO, a device): written
//   directly as the run goes, never replaced;
// - a regular file, new or existing (through a symbolic link too): the
//   records go to a temporary file, which finish() flushes to disk and
//   renames over it. Until then the old file stays as it was, and after a
//   failure (a full disk, a file-size limit) it stays so for good.
// A run that stops early finishes the file with the samples it finished, as
// its summary counts them: written as the run goes, the records the reader
// gets are whole, since a stop lets a write finish while the reader takes
// data (driver/stop_signals.hpp). Written directly, a regular file (standard
// output redirected to one) is cut back after a failed write, so that it
// keeps whole records only.

#include <optional>
#include <string>
#include <string_view>

#include "driver/output_target.hpp"

namespace pellimor {

class SamplesFile {
  public:
    explicit SamplesFile(OutputTarget target);

    bool to_standard_output() const {
        return target_.kind() == OutputTarget::Kind::STANDARD_OUTPUT;
    }
    // Written as the run goes (not a replaced file).
    bool streaming() const { return target_.kind() != OutputTarget::Kind::REPLACE; }
    bool failed() const { return failure_.has_value(); }

    // Adds one record (ending in a newline), buffered. After a failure,
    // records are dropped; the first failure is said once on standard error.
    void write(std::string_view record);

    // Writes out what is buffered (at every report line, so that a reader of
    // a pipe sees the records as they come).
    void flush();

    // Ends the output; the first failure, if any.
    std::optional<std::string> finish();

  private:
    void fail(const std::string& why);
    // Writes `records` to the target; a failure fails the output.
    void write_out(std::string_view records);

    OutputTarget target_;
    std::optional<std::string> failure_;
    std::string buffer_;
    bool finished_ = false;
};

}  // namespace pellimor
