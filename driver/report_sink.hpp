#pragma once

// Where a run's report lines go: the screen (standard output, or standard
// error when the samples take standard output) and the results file, and
// what went wrong on the way.

#include <chrono>
#include <optional>
#include <string>

#include "driver/report.hpp"

namespace pellimor {

class ReportSink {
  public:
    using Clock = std::chrono::steady_clock;
    using LineFormat = std::string (*)(const RunningTotals&, double);

    // No results file when `file_name` is empty. Lines give the hours since
    // `start`.
    ReportSink(std::optional<std::string> file_name, LineFormat format, Clock::time_point start,
               int screen_fd);

    // Writes the line for `totals` on the screen and appends it to the file.
    // The first line the file refuses is said at once on standard error.
    void report(const RunningTotals& totals);

    bool stdout_failed() const { return stdout_failed_; }

    // Says what was lost, on standard error; true when nothing was.
    bool finish() const;

  private:
    std::optional<std::string> file_name_;
    LineFormat format_;
    Clock::time_point start_;
    int screen_fd_;
    int lines_ = 0;
    int lines_lost_ = 0;
    bool stdout_failed_ = false;
    int stdout_error_ = 0;
};

}  // namespace pellimor
