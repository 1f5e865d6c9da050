#pragma once

// The results file: report lines appended across runs, each one whole.

#include <optional>
#include <string>
#include <string_view>

namespace pellimor {

// Appends `line` (ending in a newline) to the regular file at `path`,
// created when missing, under an exclusive advisory lock (flock), so that
// lines of concurrent runs never interleave. Under the lock:
// - when the file does not end with a newline (a writer that crashed, an
//   older program), a newline goes first, so the new line stays whole;
// - when the line can only partly be written (a full disk, a file-size
//   limit), the file is cut back to its size before the append, so it never
//   keeps part of a line.
// Anything but a regular file (a FIFO, a device) is refused without waiting
// on it. Returns the reason when the line was not appended.
std::optional<std::string> append_line(const std::string& path, std::string_view line);

}  // namespace pellimor
