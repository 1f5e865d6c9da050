#pragma once

// The hand-over of each sample's text record (its graph as one JSON line)
// from the worker that made it to the thread that writes the samples, in
// sample order, beside the sampling engine's results. A worker puts its
// record before its result is handed on, so the writer finds record i once
// it holds result i.
//
// Records can be large (about 5 MB at n_vars = 1000), so the queue is
// bounded in bytes: a worker waits while the queue is full, unless its record
// is the one the writer needs next. A worker that holds finished samples not
// yet handed on (the engine hands quick samples on in batches) could be the
// one the writer waits for, so it waits at most a second and then puts its
// record anyway: the bound is kept but for such rare overshoots.

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
    // Records are taken in the order first, first + stride, ...
    explicit RecordQueue(std::uint64_t first = 1, std::uint64_t stride = 1,
                         std::size_t byte_limit = std::size_t{256} << 20);

    // Hands over the record of `sample`, after waiting up to a second for
    // room. Returns false, dropping it, when `stop` became true while it
    // waited.
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
