#pragma once

// Work that Ctrl-C can stop: it runs with the GIL released while the
// calling thread, now and then, takes the GIL to run Python's signal
// handlers.

#include <pybind11/pybind11.h>

#include <atomic>
#include <functional>
#include <optional>

namespace pellimor::python {

class SignalWatch {
  public:
    // Called without the GIL: takes it, runs Python's signal handlers and
    // gives it back. True when a handler raised (KeyboardInterrupt for
    // Ctrl-C), then and ever after; the exception is kept.
    bool raised();

    // Called with the GIL: raises the kept exception, if there is one.
    void throw_if_raised();

  private:
    std::optional<pybind11::error_already_set> error_;
};

// Runs work(worker, stop) for worker = 0 .. threads - 1, each on a thread of
// its own, and returns once all have returned. Called with the GIL, which is
// released meanwhile; every 50 ms the calling thread runs Python's signal
// handlers, and when one raises, `stop` becomes true, every thread is
// joined and the exception is raised. Work should look at `stop` often. A
// worker's exception stops the others and is rethrown.
void run_interruptibly(int threads, const std::function<void(int, const std::atomic<bool>&)>& work);

}  // namespace pellimor::python
