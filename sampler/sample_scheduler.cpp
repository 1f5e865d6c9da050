#include "sampler/sample_scheduler.hpp"

#include <sched.h>

#include <algorithm>

namespace pellimor {

namespace {

using Clock = std::chrono::steady_clock;

// How far workers may run ahead of the consumer, per worker. The caller is
// woken for a quarter of the window: 64 results per worker, so that quick
// samples (a few microseconds each) cost the caller one wake-up per 64.
constexpr int window_per_thread = 256;

// A ready result waits at most this long before the caller is woken for it,
// when no batch fills sooner.
constexpr auto batch_deadline = std::chrono::milliseconds(20);

// Samples a worker claims at once while its samples are quick (a few
// microseconds, where taking the lock per sample would show); one at a time
// once a sample took longer than claim_alone_after, and never more than a
// quarter of each worker's share of the samples still unclaimed, so that the
// last samples are not left to one worker.
constexpr std::int64_t most_claimed = 8;
constexpr auto claim_alone_after = std::chrono::microseconds(50);

}  // namespace

SampleScheduler::SampleScheduler(WorkerFactory factory, SampleNumbering numbering, int threads,
                                 int window, ClaimGate gate)
    : factory_(std::move(factory)),
      gate_(std::move(gate)),
      numbering_(numbering),
      window_(window < 1 ? 1 : window),
      batch_(window_ / 4 < 1 ? 1 : window_ / 4),
      slots_(static_cast<std::size_t>(window_)) {
    // No more threads than samples: the others would have nothing to do,
    // yet each takes a stack and the memory its setup builds.
    if (threads > numbering_.count) {
        threads = static_cast<int>(numbering_.count);
    }
    threads_ = threads < 1 ? 1 : threads;
    taken_.reserve(static_cast<std::size_t>(window_));
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

std::span<const SampleResult> SampleScheduler::next_batch(std::chrono::milliseconds timeout) {
    taken_.clear();
    taken_used_ = 0;
    std::unique_lock lock(mutex_);
    const auto give_up = Clock::now() + timeout;
    auto batch_complete = [&] {
        return ready_ >= batch_ || next_take_ + ready_ == numbering_.count;
    };
    while (!failure_ && !batch_complete()) {
        const auto now = Clock::now();
        if (now >= give_up) {
            break;
        }
        caller_waiting_ = true;
        const auto until = std::min(give_up, now + batch_deadline);
        result_ready_.wait_until(lock, until, [&] { return failure_ || batch_complete(); });
        caller_waiting_ = false;
        if (ready_ > 0) {
            break;  // the deadline passed with results ready: take them
        }
    }
    if (failure_) {
        std::rethrow_exception(failure_);
    }
    for (std::int64_t i = 0; i < ready_; ++i) {
        auto& slot = slots_[static_cast<std::size_t>((next_take_ + i) % window_)];
        taken_.push_back(*slot);
        slot.reset();
    }
    next_take_ += ready_;
    ready_ = 0;
    lock.unlock();
    if (!taken_.empty()) {
        slot_free_.notify_all();
    }
    return taken_;
}

std::optional<SampleResult> SampleScheduler::next(std::chrono::milliseconds timeout) {
    if (taken_used_ == taken_.size() && next_batch(timeout).empty()) {
        return std::nullopt;
    }
    return taken_[taken_used_++];
}

void SampleScheduler::file(std::int64_t j, const SampleResult& result) {
    slots_[static_cast<std::size_t>(j % window_)] = result;
    while (next_take_ + ready_ < next_claim_ &&
           slots_[static_cast<std::size_t>((next_take_ + ready_) % window_)].has_value()) {
        ++ready_;
    }
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
    std::vector<SampleResult> results;
    try {
        run = factory_();
        results.resize(static_cast<std::size_t>(most_claimed));
    } catch (...) {
        fail();
        return;
    }
    std::int64_t most = most_claimed;
    for (;;) {
        std::int64_t first = 0;
        std::int64_t count = 0;
        if (gate_) {
            // Outside the lock, which the caller needs to take results; the
            // sample claimed may then be a later one, by as many as there
            // are workers.
            std::uint64_t next = 0;
            {
                std::lock_guard lock(mutex_);
                if (stop_.load(std::memory_order_relaxed) || next_claim_ >= numbering_.count) {
                    return;
                }
                next = numbering_.number(next_claim_);
            }
            try {
                gate_(next, stop_);
            } catch (...) {
                fail();
                return;
            }
        }
        {
            std::unique_lock lock(mutex_);
            slot_free_.wait(lock, [&] {
                return stop_.load(std::memory_order_relaxed) || next_claim_ >= numbering_.count ||
                       next_claim_ < next_take_ + window_;
            });
            if (stop_.load(std::memory_order_relaxed) || next_claim_ >= numbering_.count) {
                return;
            }
            first = next_claim_;
            const std::int64_t unclaimed = numbering_.count - next_claim_;
            count = std::min({most, next_take_ + window_ - next_claim_, unclaimed,
                              std::max<std::int64_t>(1, unclaimed / (4 * threads_))});
            next_claim_ += count;
        }
        bool finished = true;
        const auto begin = Clock::now();
        try {
            for (std::int64_t i = 0; i < count && finished; ++i) {
                results[static_cast<std::size_t>(i)] = SampleResult{};
                finished =
                    run(numbering_.number(first + i), results[static_cast<std::size_t>(i)], stop_);
            }
        } catch (...) {
            fail();
            return;
        }
        if (Clock::now() - begin > claim_alone_after * count) {
            most = 1;
        }
        bool wake = false;
        {
            std::lock_guard lock(mutex_);
            if (!finished || stop_.load(std::memory_order_relaxed)) {
                return;  // a sample may have been cut short; nobody waits for it
            }
            for (std::int64_t i = 0; i < count; ++i) {
                file(first + i, results[static_cast<std::size_t>(i)]);
            }
            wake = caller_waiting_ && (ready_ >= batch_ || next_take_ + ready_ == numbering_.count);
        }
        if (wake) {
            result_ready_.notify_all();
        }
    }
}

std::int64_t run_in_order(const WorkerFactory& factory, SampleNumbering numbering, int threads,
                          const std::function<void(const SampleResult&)>& consume,
                          const std::function<bool(std::int64_t done)>& poll,
                          const std::function<void()>& stopped, std::chrono::milliseconds grace,
                          const ClaimGate& gate) {
    std::int64_t done = 0;
    SampleScheduler scheduler(factory, numbering, threads, window_per_thread * threads, gate);
    bool stopping = false;
    while (done < numbering.count && !stopping) {
        if (poll(done)) {
            stopping = true;
            break;
        }
        for (const SampleResult& result : scheduler.next_batch(std::chrono::milliseconds(100))) {
            consume(result);
            ++done;
            if (poll(done)) {
                stopping = true;
                break;
            }
        }
    }
    if (done < numbering.count) {
        scheduler.stop();
        if (stopping && stopped) {
            scheduler.wait_for_workers(grace);
            stopped();
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
