#include "counts/gmp_memory.hpp"

#include <gmp.h>

#include <atomic>
#include <cstdlib>

namespace pellimor {

namespace {

std::atomic<GmpMemoryFailure> handler{nullptr};

[[noreturn]] void fail(std::size_t bytes) {
    if (const GmpMemoryFailure failure = handler.load()) {
        failure(bytes);
    }
    std::abort();  // the handler returned, which it must not
}

void* allocate(std::size_t bytes) {
    void* block = std::malloc(bytes);
    if (block == nullptr) {
        fail(bytes);
    }
    return block;
}

void* reallocate(void* block, std::size_t, std::size_t bytes) {
    void* moved = std::realloc(block, bytes);
    if (moved == nullptr) {
        fail(bytes);
    }
    return moved;
}

void release(void* block, std::size_t) {
    std::free(block);
}

}  // namespace

void on_gmp_memory_failure(GmpMemoryFailure failure) {
    handler.store(failure);
    mp_set_memory_functions(allocate, reallocate, release);
}

}  // namespace pellimor
