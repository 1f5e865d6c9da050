#pragma once

// Runs the samples of a run on worker threads and hands their results back
// strictly in sample order. Each worker owns everything its walk touches; the
// only shared state is the window of finished results, guarded by a mutex
// that is taken once per sample, never inside a walk.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "sampler/sample_run.hpp"

namespace pellimor {

class SampleScheduler {
  public:
    // Starts `threads` workers on samples 1 .. n_samples of the run seeded
    // with run_seed. Workers run at most `window` samples ahead of the
    // caller, so memory stays bounded however slowly results are taken.
    SampleScheduler(const Settings& settings, std::uint64_t run_seed, int n_samples, int threads,
                    int window);

    // Stops the workers (within a fraction of a second) and waits for them.
    ~SampleScheduler();

    SampleScheduler(const SampleScheduler&) = delete;
    SampleScheduler& operator=(const SampleScheduler&) = delete;

    // The result of the next sample in order, or nothing when it is not ready
    // within `timeout`. Rethrows an exception a worker ran into (such as
    // std::bad_alloc). Must not be called after the last sample was taken.
    std::optional<SampleResult> next(std::chrono::milliseconds timeout);

    // Asks the workers to abandon their samples and finish.
    void stop();

  private:
    void work();

    const Settings settings_;
    const std::uint64_t run_seed_;
    const int n_samples_;
    const int window_;

    std::mutex mutex_;
    std::condition_variable result_ready_;
    std::condition_variable slot_free_;
    std::vector<std::optional<SampleResult>> slots_;  // sample i in slot (i - 1) % window_
    int next_claim_ = 1;                              // next sample a worker starts
    int next_take_ = 1;                               // next sample next() returns
    std::exception_ptr failure_;
    std::atomic<bool> stop_{false};

    std::vector<std::thread> workers_;
};

// The number of CPUs this process may run on (its affinity mask), at least 1.
int usable_cpu_count();

}  // namespace pellimor
