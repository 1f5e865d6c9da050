#pragma once

// The progress line: on a terminal, one line on standard error showing how
// far a run has got and when it will end, redrawn in place.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace pellimor {

// "seed 42, 1234/10000 samples, 56.7/s, 0:01:23 elapsed, 0:12:34 left": the
// seed first, so that cutting the line at the terminal's width keeps it.
std::string format_progress(std::int64_t done, std::int64_t total, double elapsed_seconds,
                            std::uint64_t seed);

class ProgressLine {
  public:
    using Clock = std::chrono::steady_clock;

    // Draws nothing unless `enabled` (standard error is a terminal).
    ProgressLine(bool enabled, std::FILE* out, std::int64_t total, std::uint64_t seed,
                 Clock::time_point start);

    // Erases the line, so that no path out of a run leaves it standing.
    ~ProgressLine() { erase(); }

    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // Redraws the line with `done` samples, at most ten times a second.
    void update(std::int64_t done);

    // Removes the line, so that the next output starts on a clean line.
    void erase();

  private:
    bool enabled_;
    std::FILE* out_;
    std::int64_t total_;
    std::uint64_t seed_;
    Clock::time_point start_;
    Clock::time_point last_draw_{};
    bool shown_ = false;
};

}  // namespace pellimor
