#pragma once

// The exception a table build throws when its stop flag was set: a run
// stopped by a signal while it was still building its tables.

#include <stdexcept>

namespace pellimor {

class SetupStopped : public std::runtime_error {
  public:
    SetupStopped() : std::runtime_error("setup stopped") {}
};

}  // namespace pellimor
