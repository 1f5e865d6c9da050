#pragma once

// Ctrl-C and SIGTERM: instead of killing the process mid-line, they ask the
// sample loop to stop; it then ends cleanly with status 128 + the signal.

namespace pellimor {

// Installs the handlers for SIGINT and SIGTERM.
void install_stop_signals();

// The signal that asked the run to stop, or 0.
int stop_signal();

}  // namespace pellimor
