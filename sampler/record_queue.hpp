#pragma once

// The hand-over of each sample's text record (its graph as one JSON line)
// from the worker that made it to the thread that writes the samples, in
// sample order, beside the sampling engine's results. A worker puts its
// record before its result is handed on, so the writer finds record i once
// it holds result i.
//
// Records can be large (about 5 MB at n_vars = 1000), so the queue is
// bounded in bytes: the sampling engine lets a worker claim its next samples
// only when there is room (wait_for_room, the engine's ClaimGate), or when
// it claims the sample the writer needs next. A worker that waits holds no
// finished sample the writer could be waiting for, so the bound is kept for
// good, also when the writer is held up (a reader that stalls): the queue
// then holds at most the byte limit, and the records of the samples that
// each worker had claimed before the queue filled.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace pellimor {

class RecordQueue {
  public:
    static constexpr std::size_t default_byte_limit = std::size_t{256} << 20;

    // Records are taken in the order first, first + stride, ...
    explicit RecordQueue(std::uint64_t first = 1, std::uint64_t stride = 1,
                         std::size_t byte_limit = default_byte_limit);

    // Waits until the queue holds less than its byte limit, or `sample` is
    // the one the writer needs next, or `stop` is true.
    void wait_for_room(std::uint64_t sample, const std::atomic<bool>& stop);

    // Hands over the record of `sample`. Returns false, dropping it, when
    // `stop` is true.
    bool put(std::uint64_t sample, std::string&& record, const std::atomic<bool>& stop);

    // The record of the next sample in order, which must have been put.
    std::string take();

  private:
    const std::uint64_t stride_;
    const std::size_t byte_limit_;
    std::mutex mutex_;
    std::condition_variable room_;
    std::uint64_t next_ = 1;
    std::size_t bytes_ = 0;
    std::unordered_map<std::uint64_t, std::string> records_;
};

}  // namespace pellimor
