#include "driver/sample_scheduler.hpp"

#include <sched.h>

namespace pellimor {

SampleScheduler::SampleScheduler(const Settings& settings, std::uint64_t run_seed, int n_samples,
                                 int threads, int window)
    : settings_(settings),
      run_seed_(run_seed),
      n_samples_(n_samples),
      window_(window < 1 ? 1 : window),
      slots_(static_cast<std::size_t>(window_)) {
    workers_.reserve(static_cast<std::size_t>(threads));
    try {
        for (int t = 0; t < threads; ++t) {
            workers_.emplace_back([this] { work(); });
        }
    } catch (...) {
        stop();
        for (auto& worker : workers_) {
            worker.join();
        }
        throw;
    }
}

SampleScheduler::~SampleScheduler() {
    stop();
    for (auto& worker : workers_) {
        worker.join();
    }
}

void SampleScheduler::stop() {
    {
        std::lock_guard lock(mutex_);
        stop_.store(true, std::memory_order_relaxed);
    }
    slot_free_.notify_all();
    result_ready_.notify_all();
}

std::optional<SampleResult> SampleScheduler::next(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    auto& slot = slots_[static_cast<std::size_t>((next_take_ - 1) % window_)];
    if (!result_ready_.wait_for(lock, timeout, [&] { return failure_ || slot.has_value(); })) {
        return std::nullopt;
    }
    if (failure_) {
        std::rethrow_exception(failure_);
    }
    const SampleResult result = *slot;
    slot.reset();
    ++next_take_;
    lock.unlock();
    slot_free_.notify_all();
    return result;
}

void SampleScheduler::work() {
    for (;;) {
        int sample = 0;
        {
            std::unique_lock lock(mutex_);
            slot_free_.wait(lock, [&] {
                return stop_.load(std::memory_order_relaxed) || next_claim_ > n_samples_ ||
                       next_claim_ < next_take_ + window_;
            });
            if (stop_.load(std::memory_order_relaxed) || next_claim_ > n_samples_) {
                return;
            }
            sample = next_claim_++;
        }
        SampleResult result;
        try {
            result = run_sample(settings_, run_seed_, static_cast<std::uint64_t>(sample), &stop_);
        } catch (...) {
            {
                std::lock_guard lock(mutex_);
                if (!failure_) {
                    failure_ = std::current_exception();
                }
                stop_.store(true, std::memory_order_relaxed);
            }
            result_ready_.notify_all();
            slot_free_.notify_all();
            return;
        }
        {
            std::lock_guard lock(mutex_);
            if (stop_.load(std::memory_order_relaxed)) {
                return;  // the walk may have been cut short; nobody waits for it
            }
            slots_[static_cast<std::size_t>((sample - 1) % window_)] = result;
        }
        result_ready_.notify_all();
    }
}

int usable_cpu_count() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int count = CPU_COUNT(&set);
        if (count > 0) {
            return count;
        }
    }
    const unsigned hardware = std::thread::hardware_concurrency();
    return hardware > 0 ? static_cast<int>(hardware) : 1;
}

}  // namespace pellimor
