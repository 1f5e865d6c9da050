#pragma once

// Graphs written one after another to a named output (--out of --class),
// on the rules of every output (driver/output_target.hpp), each graph whole:
// text is buffered and written at graph boundaries, and when a stop signal
// cuts a write short in the middle of a graph (a pipe's reader being slow),
// the rest of that graph is still written before the stream gives up. A
// replaced file gets the graphs written so far when finished.

#include <optional>
#include <string>
#include <vector>

#include "driver/output_target.hpp"

namespace pellimor {

class GraphStream {
  public:
    explicit GraphStream(OutputTarget target);

    // The buffer to append one or more whole graphs to; call end_graph()
    // after each.
    std::string& buffer() { return buffer_; }
    void end_graph();

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
    std::vector<std::size_t> ends_;  // where each buffered graph ends
    std::optional<std::string> failure_;
};

}  // namespace pellimor
