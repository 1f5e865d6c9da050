#include "driver/temporary_files.hpp"

#include <unistd.h>

#include <array>
#include <atomic>
#include <cstring>

namespace pellimor {

namespace {

// A fixed table, so that removing needs no allocation or lock: a slot's name
// is written before the slot is marked used, and marked unused before it is
// written again.
constexpr std::size_t slot_count = 8;
constexpr std::size_t longest_path = 4096;

struct Slot {
    std::atomic<bool> used{false};
    char path[longest_path] = {};
};

std::array<Slot, slot_count> slots;

}  // namespace

void list_temporary_file(const char* path) {
    if (std::strlen(path) >= longest_path) {
        return;  // no such path can be created anyway
    }
    for (Slot& slot : slots) {
        if (!slot.used.load(std::memory_order_acquire)) {
            std::strcpy(slot.path, path);
            slot.used.store(true, std::memory_order_release);
            return;
        }
    }
}

void unlist_temporary_file(const char* path) {
    for (Slot& slot : slots) {
        if (slot.used.load(std::memory_order_acquire) && std::strcmp(slot.path, path) == 0) {
            slot.used.store(false, std::memory_order_release);
            return;
        }
    }
}

void remove_temporary_files() noexcept {
    for (Slot& slot : slots) {
        if (slot.used.load(std::memory_order_acquire)) {
            ::unlink(slot.path);
        }
    }
}

}  // namespace pellimor
