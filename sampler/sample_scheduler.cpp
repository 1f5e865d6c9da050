#include "sampler/sample_scheduler.hpp"

#include <sched.h>

namespace pellimor {

namespace {

// How far workers may run ahead of the consumer, per worker.
constexpr int window_per_thread = 64;

}  // namespace

SampleScheduler::SampleScheduler(WorkerFactory factory, SampleNumbering numbering, int threads,
                                 int window)
    : factory_(std::move(factory)),
      numbering_(numbering),
      window_(window < 1 ? 1 : window),
      slots_(static_cast<std::size_t>(window_)) {
    // No more threads than samples: the others would have nothing to do,
    // yet each takes a stack and the memory its setup builds.
    if (threads > numbering_.count) {
        threads = static_cast<int>(numbering_.count);
    }
    workers_.reserve(static_cast<std::size_t>(threads));
    try {
        for (int t = 0; t < threads; ++t) {
            {
                std::lock_guard lock(mutex_);
                ++running_;
            }
            try {
                workers_.emplace_back([this] { work(); });
            } catch (...) {
                std::lock_guard lock(mutex_);
                --running_;
                throw;
            }
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

bool SampleScheduler::wait_for_workers(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return worker_left_.wait_for(lock, limit, [&] { return running_ == 0; });
}

std::optional<SampleResult> SampleScheduler::next(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    auto& slot = slots_[static_cast<std::size_t>(next_take_ % window_)];
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
    struct Leaving {
        SampleScheduler& scheduler;
        ~Leaving() {
            {
                std::lock_guard lock(scheduler.mutex_);
                --scheduler.running_;
            }
            scheduler.worker_left_.notify_all();
        }
    } leaving{*this};
    auto fail = [this] {
        {
            std::lock_guard lock(mutex_);
            if (!failure_) {
                failure_ = std::current_exception();
            }
            stop_.store(true, std::memory_order_relaxed);
        }
        result_ready_.notify_all();
        slot_free_.notify_all();
    };
    SampleFunction run;
    try {
        run = factory_();
    } catch (...) {
        fail();
        return;
    }
    for (;;) {
        std::int64_t index = 0;
        {
            std::unique_lock lock(mutex_);
            slot_free_.wait(lock, [&] {
                return stop_.load(std::memory_order_relaxed) || next_claim_ >= numbering_.count ||
                       next_claim_ < next_take_ + window_;
            });
            if (stop_.load(std::memory_order_relaxed) || next_claim_ >= numbering_.count) {
                return;
            }
            index = next_claim_++;
        }
        SampleResult result;
        bool finished = false;
        try {
            finished = run(numbering_.number(index), result, stop_);
        } catch (...) {
            fail();
            return;
        }
        {
            std::lock_guard lock(mutex_);
            if (!finished || stop_.load(std::memory_order_relaxed)) {
                return;  // the sample may have been cut short; nobody waits for it
            }
            slots_[static_cast<std::size_t>(index % window_)] = result;
        }
        result_ready_.notify_all();
    }
}

std::int64_t run_in_order(const WorkerFactory& factory, SampleNumbering numbering, int threads,
                          const std::function<void(const SampleResult&)>& consume,
                          const std::function<bool(std::int64_t done)>& poll,
                          const std::function<void()>& stopped) {
    std::int64_t done = 0;
    SampleScheduler scheduler(factory, numbering, threads, window_per_thread * threads);
    while (done < numbering.count) {
        if (poll(done)) {
            scheduler.stop();
            if (stopped) {
                scheduler.wait_for_workers(stop_grace);
                stopped();
            }
            break;
        }
        if (const auto result = scheduler.next(std::chrono::milliseconds(100))) {
            consume(*result);
            ++done;
        }
    }
    return done;
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
