#pragma once

// A planned run carried out: its samples on worker threads (or on the ranks
// of an MPI run), handed back in sample order, then, for a walk, the exact
// reference its mixing check compares it with. Nothing here writes anywhere,
// handles a signal or ends the process: the caller learns of each sample,
// and stops the run, through hooks.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "run/run_plan.hpp"
#include "stats/run_report.hpp"
#include "stats/run_statistics.hpp"

namespace pellimor {

struct RunOutcome {
    RunStatistics statistics;  // every finished sample, in sample order
    // Every sample, and a walk's reference where one was due, finished; false
    // after a stop (or, in a cluster run, when rank 0 ended it early).
    bool complete = false;
    // The ranks of a cluster run ended it together over a failure that
    // RunHooks::agree has reported.
    bool failed = false;
    // A worker (or the calling thread) ran out of memory while the samples
    // were drawn, after the plan had fitted: the run ended there, with the
    // samples finished before (complete is false).
    bool out_of_memory = false;
    int out_of_memory_rank = -1;             // in a cluster run, the rank that ran out
    double seconds = 0;                      // since the plan's start
    std::optional<RunStatistics> reference;  // a walk's exact reference, when drawn
    ReferenceNote reference_note;            // its seconds, or why there is none
    // Each sample's record in sample order, when the request asks for
    // records and no `sample` hook takes them.
    std::vector<std::string> records;
};

struct RunHooks {
    // Polled after every sample and at least ten times a second while
    // waiting; true stops the run.
    std::function<bool()> stop;
    // The samples finished so far, with every poll while sampling.
    std::function<void(std::int64_t done)> progress;
    // Each finished sample in sample order, on the calling thread, with its
    // record (empty unless the request asks for records), valid during the
    // call.
    std::function<void(const SampleResult& result, std::string_view record)> sample;
    // In one process, after a stop: called once the workers have finished,
    // or stop_grace has passed, with the outcome so far. It may end the
    // process, so as not to wait for a worker deep in a long setup; when it
    // returns, run() waits for the workers and returns the same outcome.
    std::function<void(const RunOutcome& so_far)> stopped;
    // In a cluster run, where every rank must go on together (the tables of a
    // walk's reference): called on every rank with what failed on it ("" for
    // nothing); true when all may go on. Without it a failure is thrown.
    std::function<bool(const std::string& failure)> agree;
};

// Runs the samples of `plan`, then a walk's reference. Running out of memory
// while the samples are drawn ends the run with out_of_memory (in a cluster
// run on rank 0, whichever rank ran out: every rank has been ended by then).
// Rethrows any other failure of a worker (std::system_error), and
// std::bad_alloc from the walk's reference; in a cluster run, throws
// std::runtime_error naming another rank that failed otherwise. On ranks
// other than 0 of a cluster run the statistics stay empty.
RunOutcome run(const RunPlan& plan, const RunHooks& hooks = {});

// The run's report: its estimates against the plan's exact values (made
// here when the plan has none), the classes' estimates and a walk's mixing
// check, once. For the rank that reports.
RunReport report_of(const RunPlan& plan, const RunOutcome& outcome,
                    const Provenance& provenance = {});

}  // namespace pellimor
