#include "driver/progress.hpp"

#include <sys/ioctl.h>
#include <unistd.h>

namespace pellimor {

namespace {

std::string clock_time(double seconds) {
    const auto total = static_cast<long long>(seconds);
    char text[48];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                  total % 60);
    return text;
}

int terminal_width(std::FILE* out) {
    winsize size{};
    if (ioctl(fileno(out), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return 80;
}

}  // namespace

std::string format_progress(std::int64_t done, std::int64_t total, double elapsed_seconds,
                            std::uint64_t seed) {
    const double rate = elapsed_seconds > 0 ? static_cast<double>(done) / elapsed_seconds : 0.0;
    const std::string left = rate > 0 ? clock_time(static_cast<double>(total - done) / rate) : "?";
    char text[160];
    std::snprintf(text, sizeof text, "seed %llu, %lld/%lld samples, %.1f/s, %s elapsed, %s left",
                  static_cast<unsigned long long>(seed), static_cast<long long>(done),
                  static_cast<long long>(total), rate, clock_time(elapsed_seconds).c_str(),
                  left.c_str());
    return text;
}

ProgressLine::ProgressLine(bool enabled, std::FILE* out, std::int64_t total, std::uint64_t seed,
                           Clock::time_point start)
    : enabled_(enabled), out_(out), total_(total), seed_(seed), start_(start) {}

void ProgressLine::update(std::int64_t done) {
    if (!enabled_) {
        return;
    }
    const auto now = Clock::now();
    if (now - last_draw_ < std::chrono::milliseconds(100)) {
        return;
    }
    last_draw_ = now;
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    std::string line = format_progress(done, total_, elapsed, seed_);
    // A line wider than the terminal would wrap and could not be redrawn.
    const auto width = static_cast<std::size_t>(terminal_width(out_));
    if (line.size() >= width) {
        line.resize(width - 1);
    }
    std::fprintf(out_, "\r\033[K%s", line.c_str());
    std::fflush(out_);
    shown_ = true;
}

void ProgressLine::erase() {
    if (!shown_) {
        return;
    }
    std::fputs("\r\033[K", out_);
    std::fflush(out_);
    shown_ = false;
}

}  // namespace pellimor
