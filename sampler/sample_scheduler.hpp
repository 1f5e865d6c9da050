#pragma once

// The sampling engine: runs the samples of a run on worker threads and hands
// their results back strictly in sample order, whatever each sample computes.
// Each worker owns everything its samples touch; the only shared state is the
// window of finished results, guarded by a mutex, never taken inside a walk
// or a draw. Work and results move in batches: a worker whose samples are
// quick claims a few at a time and files their results together, and the
// caller is woken only when a batch of results is ready in order (or the last
// ones are), or after a short deadline, instead of once per sample.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "sampler/sample_run.hpp"

namespace pellimor {

// Computes sample `sample_number` into `result`; returns false when `stop`
// became true before it finished (the result is then discarded).
using SampleFunction = std::function<bool(std::uint64_t sample_number, SampleResult& result,
                                          const std::atomic<bool>& stop)>;

// Makes one worker's sample function, on that worker's thread, so that the
// state it owns (graphs, scratch, tables it may share read-only) is built
// where it is used. May throw (std::bad_alloc); the failure reaches next().
using WorkerFactory = std::function<SampleFunction()>;

// Called by a worker before it claims samples, the first of them numbered
// `sample`; may wait, until `stop` becomes true at the latest, for room for
// what the samples will hold (their records). A worker holds no finished
// result while it waits, so the caller can always take what is ready.
using ClaimGate = std::function<void(std::uint64_t sample, const std::atomic<bool>& stop)>;

// Which sample numbers a scheduler runs: first, first + stride, ... (count
// of them). A single process runs 1, 2, ..., n_samples.
struct SampleNumbering {
    std::int64_t count = 0;
    std::uint64_t first = 1;
    std::uint64_t stride = 1;

    std::uint64_t number(std::int64_t index) const {  // index from 0
        return first + static_cast<std::uint64_t>(index) * stride;
    }
};

class SampleScheduler {
  public:
    // Starts `threads` workers (no more than there are samples) on the
    // samples `numbering` names. Workers run
    // at most `window` samples ahead of the caller, so memory stays bounded
    // however slowly results are taken; `gate`, when given, is passed
    // before every claim.
    SampleScheduler(WorkerFactory factory, SampleNumbering numbering, int threads, int window,
                    ClaimGate gate = {});

    // Stops the workers (within a fraction of a second) and waits for them.
    ~SampleScheduler();

    SampleScheduler(const SampleScheduler&) = delete;
    SampleScheduler& operator=(const SampleScheduler&) = delete;

    // The results of the next samples in order that are ready: at least one,
    // or none when none is ready within `timeout` (returns early once a batch
    // is ready, or within a short deadline of the first result being ready).
    // Valid until the next call of next_batch() or next(). Rethrows an
    // exception a worker ran into (such as std::bad_alloc). Must not be
    // called after the last sample was taken.
    std::span<const SampleResult> next_batch(std::chrono::milliseconds timeout);

    // The result of the next sample in order, or nothing when it is not ready
    // within `timeout`: one at a time from the batches above.
    std::optional<SampleResult> next(std::chrono::milliseconds timeout);

    // Asks the workers to abandon their samples and finish.
    void stop();

    // Waits until every worker has finished, at most `limit`; true when
    // they all have. A worker finishes within one sample's stop check (a
    // DAG, a stretch of walk) or, when stopped while it sets up, after
    // that setup.
    bool wait_for_workers(std::chrono::milliseconds limit);

  private:
    void work();
    // With the mutex held: files the result of index j and extends ready_.
    void file(std::int64_t j, const SampleResult& result);

    const WorkerFactory factory_;
    const ClaimGate gate_;
    const SampleNumbering numbering_;
    const std::int64_t window_;
    const std::int64_t batch_;  // results in order that wake the caller
    std::int64_t threads_ = 1;  // workers started

    std::mutex mutex_;
    std::condition_variable result_ready_;
    std::condition_variable slot_free_;
    std::vector<std::optional<SampleResult>> slots_;  // index j in slot j % window_
    std::int64_t next_claim_ = 0;                     // next index a worker starts
    std::int64_t next_take_ = 0;                      // next index handed to the caller
    std::int64_t ready_ = 0;                          // results filed in order from next_take_ on
    bool caller_waiting_ = false;                     // the caller waits for a batch
    std::exception_ptr failure_;

    // The caller's side: the last batch taken, and how much of it next() gave.
    std::vector<SampleResult> taken_;
    std::size_t taken_used_ = 0;
    std::atomic<bool> stop_{false};
    int running_ = 0;  // workers that have not yet left work()
    std::condition_variable worker_left_;

    std::vector<std::thread> workers_;
};

// How long a stopped run waits for its workers to finish before `stopped`
// is called anyway.
inline constexpr std::chrono::milliseconds stop_grace{300};

// Runs every sample of `numbering` and passes the results, in order, to
// `consume`, a batch at a time. `poll` is called after each result and at
// least ten times a second while waiting; when it returns true the workers
// are stopped and the run ends early. Then `stopped`, when given, is called
// once the workers have finished or `grace` has passed, so that it has
// the CPUs to itself; it may end the process rather than wait for a worker
// deep in a long setup. `gate` is the scheduler's. Returns the number of
// results consumed. Rethrows a worker's failure.
std::int64_t run_in_order(const WorkerFactory& factory, SampleNumbering numbering, int threads,
                          const std::function<void(const SampleResult&)>& consume,
                          const std::function<bool(std::int64_t done)>& poll,
                          const std::function<void()>& stopped = nullptr,
                          std::chrono::milliseconds grace = stop_grace, const ClaimGate& gate = {});

// The number of CPUs this process may run on (its affinity mask), at least 1.
int usable_cpu_count();

}  // namespace pellimor
