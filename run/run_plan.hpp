#pragma once

// A run planned: its request checked, the memory it needs stated from each
// sampler's own figures, the tables its samples draw from built (once,
// shared read-only by every worker), the exact values its report holds the
// estimates against made, and its workers chosen. Which method a run uses is
// decided here, once, from the request.

#include <chrono>
#include <cstdint>
#include <optional>

#include "run/edge_bound_plan.hpp"
#include "run/exact_draws.hpp"
#include "run/run_request.hpp"
#include "sampler/sample_methods.hpp"
#include "stats/exact_values.hpp"

namespace pellimor {

// In bytes, as doubles: for the largest n_vars accepted they pass 2^64.
struct MemoryNeed {
    double shared = 0;      // built once, read by every worker: the exact draws' tables
    double per_worker = 0;  // held by each worker thread: its graphs, sampler and scratch
    int workers = 0;        // the worker threads that hold them at once
    int threads = 0;        // the worker threads started (>= workers), each with its stack
    double record = 0;      // one --samples record with graphs (counted in the two above)
};

// What the run `request` describes takes, before anything is built. No more
// threads start than a run's longest batch of samples has samples (in a
// cluster run, a walk's mixing check draws up to max(1000, n_samples)
// reference classes on worker threads).
MemoryNeed memory_needed(const RunRequest& request);

// True in an MPI run of more than one rank; then only rank 0 reports.
bool distributed_run();
bool reporting_rank();

class RunPlan {
  public:
    using Clock = std::chrono::steady_clock;

    const RunRequest& request() const { return request_; }
    // The run's seconds count from here.
    Clock::time_point started() const { return started_; }
    const MemoryNeed& memory() const { return memory_; }
    // Made on the rank that reports (rank 0, or the only process).
    const ExactValues& exact() const { return exact_; }
    // Exact draws within an edge bound (the exact method with a bound, walks
    // within one that start from exact draws): what the pilot says they
    // cost. Made on the rank that reports.
    const std::optional<EdgeBoundPlan>& cost() const { return cost_; }
    bool distributed() const { return distributed_; }
    bool reporting() const { return reporting_; }

    // The exact draws the samples use, or nullptr when they use none.
    const ExactDraws* draws() const { return draws_ ? &*draws_ : nullptr; }

    // The workers of the run's samples; the plan must outlive them.
    WorkerFactory workers(SampleExtras extras) const { return make_workers_(*this, extras); }

  private:
    friend RunPlan plan_run(const RunRequest& request, Clock::time_point started);
    RunPlan() = default;

    RunRequest request_;
    Clock::time_point started_;
    MemoryNeed memory_;
    ExactValues exact_;
    std::optional<EdgeBoundPlan> cost_;
    bool distributed_ = false;
    bool reporting_ = true;
    std::optional<ExactDraws> draws_;
    WorkerFactory (*make_workers_)(const RunPlan&, SampleExtras) = nullptr;
};

// Plans the run `request` describes, started at `started`. Throws
// std::invalid_argument for a request no run can carry out (check_request(),
// and records in a cluster run), std::bad_alloc when the tables do not fit.
RunPlan plan_run(const RunRequest& request,
                 RunPlan::Clock::time_point started = RunPlan::Clock::now());

}  // namespace pellimor
