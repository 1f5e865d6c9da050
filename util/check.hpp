#pragma once

// Invariant checks. CHECK(condition) is always on; DCHECK(condition) only in
// builds with debug checks (no NDEBUG, or PELLIMOR_DCHECK defined) and costs
// nothing otherwise: it is the only kind allowed in the walk's loop. A failed
// check prints its file, line and condition on standard error and aborts.

#include <cstdio>
#include <cstdlib>

namespace pellimor {

#if !defined(NDEBUG) || defined(PELLIMOR_DCHECK)
inline constexpr bool debug_checks = true;
#else
inline constexpr bool debug_checks = false;
#endif

// Expensive invariants (whole-structure comparisons after every change), on
// only in builds made for them.
#if defined(PELLIMOR_EXPENSIVE_CHECKS)
inline constexpr bool expensive_checks = true;
#else
inline constexpr bool expensive_checks = false;
#endif

[[noreturn]] inline void check_failed(const char* file, int line, const char* condition) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::fflush(stderr);
    std::abort();
}

}  // namespace pellimor

#define CHECK(condition)                                              \
    do {                                                              \
        if (!(condition)) [[unlikely]] {                              \
            ::pellimor::check_failed(__FILE__, __LINE__, #condition); \
        }                                                             \
    } while (false)

// When off, the condition is still compiled (so it cannot rot) but never run.
#define DCHECK(condition)                         \
    do {                                          \
        if constexpr (::pellimor::debug_checks) { \
            CHECK(condition);                     \
        }                                         \
    } while (false)
