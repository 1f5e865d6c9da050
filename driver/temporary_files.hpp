#pragma once

// Named temporary files that a run which ends at once (a stop signal, memory
// running out inside a library that cannot fail) must not leave behind.
// Output files are written to anonymous temporary files where the file
// system has them; elsewhere they get a name, listed here until they are
// renamed into place or removed.

namespace pellimor {

// Lists `path` (at most a few at once; the text is copied). Call from the
// main thread.
void list_temporary_file(const char* path);

// Takes `path` off the list: it was renamed or removed. Call from the main
// thread.
void unlist_temporary_file(const char* path);

// Removes every listed file. Only unlink(): safe in a signal handler and on
// any thread.
void remove_temporary_files() noexcept;

}  // namespace pellimor
