#pragma once

// Ctrl-C, SIGTERM and SIGHUP: instead of killing the process mid-line, they
// ask the sample loop to stop; it then ends cleanly with status 128 + the
// signal. SIGPIPE is ignored: a write to a closed pipe fails with EPIPE, and
// the run ends as for any failed output, with its files written.
//
// The handlers are installed without SA_RESTART, so a signal also breaks the
// main thread out of whatever it is blocked in (the results file's lock, a
// FIFO waiting for its reader): the call fails with EINTR, and the code that
// made it sees stop_signal() and gives up instead of trying again. Output is
// the exception: a line, record or document being written is finished, so
// that a reader never gets part of one, as long as the reader takes data
// (see write_all).

#include <string>
#include <string_view>

namespace pellimor {

// Installs the handlers for SIGINT, SIGTERM and SIGHUP (except those the
// process was started with ignored, as by nohup), and ignores SIGPIPE
// and SIGXFSZ, so that a closed pipe or a file-size limit makes a write fail
// (EPIPE, EFBIG) like a full disk instead of killing the process. Call it on
// the main thread: a signal that reaches another thread is passed on to it.
void install_stop_signals();

// The signal that asked the run to stop, or 0.
int stop_signal();

// While `at_once`, a stop signal ends the process from the handler itself,
// with status 128 + the signal, after removing the named temporary files:
// for work that does not look at stop_signal() and has written nothing yet.
void end_at_once_on_stop(bool at_once);

// How long a stopped run waits for a reader that takes nothing.
inline constexpr int reader_wait_seconds = 3;

// What write_all returns when it gave up on a reader that took nothing.
inline constexpr int reader_stalled = -1;

// Writes all of `text` to `fd`, going on after a partial write or an
// interrupted one, also once a stop was asked for: the text is written
// whole or the reader is given up on, when it has taken nothing for
// reader_wait_seconds since the stop (or since it last took data, or since
// this write began, whichever is latest), or when a second stop signal
// came. Returns 0, the errno of a failure, or reader_stalled.
int write_all(int fd, std::string_view text);

// What a failure of write_all was: strerror's text, or that the reader took
// nothing after the stop.
std::string write_failure_text(int error);

// Ends a stopped run at once with `status`, once every report line and
// output file is written: flushes standard output and error, removes the
// named temporary files left (driver/temporary_files.hpp) and leaves without
// waiting for the worker threads, which may be deep in a sample's setup, or
// a count, that does not look at the stop flag.
[[noreturn]] void end_run_now(int status);

}  // namespace pellimor
