#include "driver/report_sink.hpp"

#include <unistd.h>

#include <cstdio>

#include "driver/stop_signals.hpp"

namespace pellimor {

namespace {

double hours_since(ReportSink::Clock::time_point start) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(ReportSink::Clock::now() - start);
    return static_cast<double>(ms.count()) / 3600000.0;
}

}  // namespace

ReportSink::ReportSink(std::optional<std::string> file_name, LineFormat format,
                       Clock::time_point start, int screen_fd)
    : file_name_(std::move(file_name)), format_(format), start_(start), screen_fd_(screen_fd) {}

void ReportSink::report(const RunningTotals& totals) {
    const std::string screen_line = format_(totals, hours_since(start_));
    if (const int error = write_all(screen_fd_, screen_line); error != 0 && !stdout_failed_) {
        stdout_failed_ = true;
        stdout_error_ = error;
    }
    ++lines_;
    if (!file_name_) {
        return;
    }
    const std::string file_line = format_(totals, hours_since(start_));
    if (const auto failure = append_line(*file_name_, file_line)) {
        if (lines_lost_ == 0 && stop_signal() == 0) {
            std::fprintf(stderr,
                         "pellimor: warning: cannot append to results file '%s': %s; "
                         "the run goes on and will end with status 1\n",
                         file_name_->c_str(), failure->c_str());
        }
        ++lines_lost_;
    }
}

bool ReportSink::finish() const {
    if (lines_lost_ > 0) {
        std::fprintf(stderr, "pellimor: %d of %d report lines were not saved to '%s'\n",
                     lines_lost_, lines_, file_name_->c_str());
    }
    if (stdout_failed_) {
        std::fprintf(stderr, "pellimor: writing report lines to standard %s failed: %s\n",
                     screen_fd_ == STDOUT_FILENO ? "output" : "error",
                     write_failure_text(stdout_error_).c_str());
    }
    return lines_lost_ == 0 && !stdout_failed_;
}

}  // namespace pellimor
