// Test support, loaded into a process with LD_PRELOAD: memory that runs out
// in the middle of a run, after every check before it has passed. Once
// PELLIMOR_TEST_ALLOCATIONS_ALLOWED (K) allocations by operator new have been
// made on threads other than the process's first, every later one there
// throws std::bad_alloc. The first thread, which writes a run's outputs, is
// never refused. Without the variable nothing fails.

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

long allowed() {
    static const long k = [] {
        const char* text = std::getenv("PELLIMOR_TEST_ALLOCATIONS_ALLOWED");
        return text != nullptr ? std::atol(text) : -1;
    }();
    return k;
}

std::atomic<long> made_by_workers{0};

bool refused() {
    if (allowed() < 0 || ::syscall(SYS_gettid) == ::getpid()) {
        return false;
    }
    return made_by_workers.fetch_add(1, std::memory_order_relaxed) >= allowed();
}

}  // namespace

// Only the plain form: the others of the C++ runtime (arrays, nothrow) call
// it, and every form of delete frees what malloc gave.
void* operator new(std::size_t bytes) {
    if (refused()) {
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(bytes == 0 ? 1 : bytes)) {
        return p;
    }
    throw std::bad_alloc();
}
