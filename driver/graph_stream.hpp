#pragma once

// Graphs written one after another to a named output (--out of --class),
// on the rules of every output (driver/output_target.hpp), each graph whole:
// text is buffered and written only between graphs, and a write under way
// when a stop signal comes is finished (driver/stop_signals.hpp), so that a
// reader gets whole graphs. A replaced file gets the graphs written so far
// when finished.

#include <optional>
#include <string>
#include <string_view>

#include "driver/output_target.hpp"

namespace pellimor {

class GraphStream {
  public:
    explicit GraphStream(OutputTarget target);

    // The buffer to append whole graphs to.
    std::string& buffer() { return buffer_; }

    // Adds whole graphs' text: buffered when short, written at once (after
    // what is buffered) when long, to spare a copy; the first failure.
    std::optional<std::string> add(std::string_view text);

    // Writes what is buffered once it is large; the first failure, if any.
    std::optional<std::string> maybe_flush() {
        return buffer_.size() >= flush_size ? flush() : std::nullopt;
    }
    std::optional<std::string> flush();

    // Flushes, then makes the output final (renames a replaced file over
    // the old one); the first failure, if any.
    std::optional<std::string> finish();

  private:
    static constexpr std::size_t flush_size = std::size_t{1} << 20;

    OutputTarget target_;
    std::string buffer_;
    std::optional<std::string> failure_;
};

}  // namespace pellimor
