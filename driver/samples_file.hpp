#pragma once

// Where --samples writes the samples' records (one JSON line each), whole or
// not at all:
// - "-": standard output, written as the run goes;
// - an existing file that is not a regular file (a FIFO with a reader, a
//   device): written directly, as the run goes, never replaced;
// - otherwise a regular file, new or existing (through a symbolic link
//   too): the records go to a temporary file beside it, which finish()
//   flushes to disk and renames over it. Until then the old file stays as it
//   was; after a failure (a full disk, a file-size limit) it stays so for
//   good and the temporary file is removed.
// A run that is stopped early finishes the file with the samples it
// finished, as its summary counts them.
//
// Written directly, a regular file (standard output redirected to one) is cut
// back after a failed write, so it keeps whole records only; a pipe whose
// reader leaves ends the run by SIGPIPE, as for any other output.

#include <optional>
#include <string>
#include <string_view>

namespace pellimor {

class SamplesFile {
  public:
    explicit SamplesFile(std::string path);
    ~SamplesFile();  // removes a temporary file that was not finished
    SamplesFile(const SamplesFile&) = delete;
    SamplesFile& operator=(const SamplesFile&) = delete;

    // Opens the output; the reason when it cannot be written.
    std::optional<std::string> open();

    bool to_standard_output() const { return path_ == "-"; }
    const std::string& path() const { return path_; }

    // Adds one record (ending in a newline), buffered. After a failure
    // records are dropped; the first failure is said once on standard error.
    void write(std::string_view record);

    // Writes out what is buffered (at every report line, so a reader of a
    // pipe sees the records as they come).
    void flush();

    // Ends the output; returns the first failure, if any.
    std::optional<std::string> finish();

  private:
    void fail(const std::string& reason);
    bool write_out(std::string_view text);

    std::string path_;
    std::string target_;     // the file renamed over (the link's target)
    std::string temporary_;  // empty when written directly
    int fd_ = -1;
    bool regular_ = false;   // fd_ is a regular file
    bool finished_ = false;
    std::optional<std::string> failure_;
    std::string buffer_;
};

}  // namespace pellimor
