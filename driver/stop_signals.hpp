#pragma once

// Ctrl-C, SIGTERM and SIGHUP: instead of killing the process mid-line, they
// ask the sample loop to stop; it then ends cleanly with status 128 + the
// signal. SIGPIPE is ignored: a write to a closed pipe fails with EPIPE, and
// the run ends as for any failed output, with its files written.
//
// The handlers are installed without SA_RESTART, so a signal also breaks the
// main thread out of whatever it is blocked in (a write to a pipe nobody
// reads, the results file's lock): the call fails with EINTR, and the code
// that made it sees stop_signal() and gives up instead of trying again.

#include <cstddef>
#include <string_view>

namespace pellimor {

// Installs the handlers for SIGINT, SIGTERM and SIGHUP, and ignores SIGPIPE
// and SIGXFSZ, so that a closed pipe or a file-size limit makes a write fail
// (EPIPE, EFBIG) like a full disk instead of killing the process. Call it on
// the main thread: a signal that reaches another thread is passed on to it.
void install_stop_signals();

// The signal that asked the run to stop, or 0.
int stop_signal();

// Writes all of `text` to `fd`, going on after a partial write or an
// interrupted one unless a stop was asked for. Returns 0, or the errno of
// the failure (EINTR when a stop cut the write short).
int write_all(int fd, std::string_view text);

// The same, adding to *written what reached fd, also when it fails or stops.
int write_all(int fd, std::string_view text, std::size_t* written);

// Writes all of `text` even after a stop was asked for, so that a record cut
// short by the stop can be finished; gives up (EINTR) when `patience_ms`
// pass without a byte written, as when the reader of a pipe has stopped
// reading. Returns 0 or the errno of the failure.
int write_through(int fd, std::string_view text, int patience_ms);

// Ends a stopped run at once with `status`, once every report line and
// output file is written: flushes standard output and error and leaves
// without waiting for the worker threads, which may be deep in a sample's
// setup that does not look at the stop flag.
[[noreturn]] void end_run_now(int status);

}  // namespace pellimor
