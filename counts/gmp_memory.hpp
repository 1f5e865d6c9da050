#pragma once

// What happens when GMP runs out of memory. GMP's own answer is a message
// and abort(): status 134 and a core file instead of the program's "not
// enough memory". Its functions cannot fail, so a failed allocation cannot
// be returned to the caller either (nor thrown through GMP's C code); the
// failure handler set here is called instead, and must end the process.

#include <cstddef>

namespace pellimor {

using GmpMemoryFailure = void (*)(std::size_t bytes);

// Routes GMP's allocations through malloc, realloc and free, as GMP's
// defaults do (so numbers made before the call stay valid), and calls
// `failure` with the size asked for when one of them fails. `failure` must
// not return.
void on_gmp_memory_failure(GmpMemoryFailure failure);

}  // namespace pellimor
