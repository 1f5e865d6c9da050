#include "sampler/record_queue.hpp"

#include <chrono>
#include <stdexcept>

namespace pellimor {

RecordQueue::RecordQueue(std::uint64_t first, std::uint64_t stride, std::size_t byte_limit)
    : stride_(stride), byte_limit_(byte_limit), next_(first) {}

void RecordQueue::wait_for_room(std::uint64_t sample, const std::atomic<bool>& stop) {
    std::unique_lock lock(mutex_);
    // The stop flag is set without this mutex, so look at it every 50 ms.
    while (bytes_ >= byte_limit_ && sample != next_ && !stop.load(std::memory_order_relaxed)) {
        room_.wait_for(lock, std::chrono::milliseconds(50));
    }
}

bool RecordQueue::put(std::uint64_t sample, std::string&& record, const std::atomic<bool>& stop) {
    if (stop.load(std::memory_order_relaxed)) {
        return false;
    }
    std::lock_guard lock(mutex_);
    bytes_ += record.size();
    records_.emplace(sample, std::move(record));
    return true;
}

std::string RecordQueue::take() {
    std::string record;
    {
        std::lock_guard lock(mutex_);
        const auto found = records_.find(next_);
        if (found == records_.end()) {
            throw std::logic_error("RecordQueue: the record of a finished sample is missing");
        }
        record = std::move(found->second);
        records_.erase(found);
        bytes_ -= record.size();
        next_ += stride_;
    }
    room_.notify_all();
    return record;
}

}  // namespace pellimor
