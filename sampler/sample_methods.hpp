#pragma once

// The per-sample functions of the two methods, as the sampling engine runs
// them: the walk (from the empty graph or from an exact draw) and the exact
// method. Sample i of a run always draws from sample_stream(run seed, i), so
// what a sample yields depends on those two numbers only.

#include <cstdint>

#include "sampler/dag_counts.hpp"
#include "sampler/layered_sampler.hpp"
#include "sampler/record_layout.hpp"
#include "sampler/record_queue.hpp"
#include "sampler/sample_run.hpp"
#include "sampler/sample_scheduler.hpp"
#include "sampler/sparse_exact_sampler.hpp"

namespace pellimor {

// What the workers do beyond each sample's flags and its class's statistics.
struct SampleExtras {
    // Count the class's vees (ClassStatistics::vees), which costs more than
    // all the other statistics together.
    bool count_vees = false;
    // When given, every sample's record (sampler/sample_record.hpp) goes
    // here before its result is handed on; it must outlive the workers.
    RecordQueue* records = nullptr;
    // What those records hold, and in which format.
    RecordLayout layout{};
};

// Workers whose samples are walks of settings.n_its moves. Each walk starts
// from the empty graph, or, when exact_start is given, from an essential
// graph drawn exactly from the sample's stream (the walk then goes on with
// the same stream). exact_start must outlive the workers.
WorkerFactory walk_workers(const Settings& settings, std::uint64_t run_seed,
                           const DagCounts* exact_start, SampleExtras extras = {});

// The same with every walk starting from a class drawn exactly among those
// within the edge bound of `start` (settings.max_edges for walks over at most
// that many edges), which must outlive the workers.
WorkerFactory sparse_start_walk_workers(const Settings& settings, std::uint64_t run_seed,
                                        const SparseSetup& start, SampleExtras extras = {});

// Workers whose samples are classes kept by the exact method. tables must
// outlive the workers. A record's "dag" and the names of its vertices come
// from a relabelling drawn from the sample's stream after the class was
// kept, so records change nothing else a sample yields.
WorkerFactory exact_workers(const DagCounts& tables, std::uint64_t run_seed,
                            SampleExtras extras = {});

// Workers whose samples are classes kept by the exact method within the edge
// bound of setup, which must outlive the workers.
WorkerFactory sparse_exact_workers(const SparseSetup& setup, std::uint64_t run_seed,
                                   SampleExtras extras = {});

// Workers whose samples are classes kept by the layered method with the
// edges and table of setup, which must outlive the workers.
WorkerFactory layered_exact_workers(const LayeredSetup& setup, std::uint64_t run_seed,
                                    SampleExtras extras = {});

// The first sample number of the exact reference that a walk run compares
// itself with: far above every sample a run can have, so the reference's
// streams never meet the samples' streams.
inline constexpr std::uint64_t reference_first_sample = std::uint64_t{1} << 63;

}  // namespace pellimor
