#pragma once

// The per-sample functions of the methods, as the sampling engine runs them:
// the walk (from the empty graph or from an exact draw) and the exact
// samplers' classes. Sample i of a run always draws from sample_stream(run
// seed, i), so what a sample yields depends on those two numbers only.
//
// An exact sampler plugs in through the two templates below when it offers
// ExactSampler's interface: made from its setup (Sampler(const Setup&)),
// draw_class(rng, result, stop) (and draw_dag(rng, result, stop) for uniform
// DAGs), kept_dag(), kept_essential(), kept_size(),
// draw_relabelling(rng) and kept_essential_graph(rng, m).

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "graph/class_size.hpp"
#include "graph/class_statistics.hpp"
#include "graph/edge_matrix.hpp"
#include "sampler/dag_counts.hpp"
#include "sampler/layered_sampler.hpp"
#include "sampler/record_layout.hpp"
#include "sampler/record_queue.hpp"
#include "sampler/sample_record.hpp"
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

// Workers whose samples are walks, each from a class drawn exactly by a
// Sampler made from `setup` (which must outlive the workers) from the
// sample's own stream; the walk goes on with the same stream. A sampler
// within an edge bound needs walks bounded alike (settings.edge_bound).
template <class Sampler, class Setup>
WorkerFactory walks_from_exact_draws(const Settings& settings, std::uint64_t run_seed,
                                     const Setup& setup, SampleExtras extras = {});

// Workers whose samples are the classes kept by a Sampler made from `setup`
// (which must outlive the workers), on n_vars vertices, with their
// statistics and, when asked for, their records. A record's "dag" and the
// names of its vertices come from a relabelling drawn from the sample's
// stream after the class was kept, so records change nothing else a sample
// yields.
//
// With every_dag, each sample is the first DAG drawn, whatever its class
// (draw_dag): uniform DAGs, each with its class.
template <class Sampler, class Setup, bool every_dag = false>
WorkerFactory exact_class_workers(const Setup& setup, int n_vars, std::uint64_t run_seed,
                                  SampleExtras extras = {});

// The exact method's classes: uniform over all classes (ExactSampler), and
// within the edge bound of a setup (SparseExactSampler).
WorkerFactory exact_workers(const DagCounts& tables, std::uint64_t run_seed,
                            SampleExtras extras = {});
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

namespace sample_methods_detail {

// What one walk worker owns: the walk's matrix, which every sample starts
// afresh, the walk's scratch, and the scratch of the class statistics.
struct WalkWorker {
    explicit WalkWorker(int n) : m(n), sizes(n), statistics(n) {}

    EdgeMatrix m;
    WalkScratch walk;
    ClassSizeCounter sizes;
    ClassStatisticsCounter statistics;
};

// The class statistics of the walk's final graph, and its record.
bool finish_walk_sample(WalkWorker& worker, const SampleExtras& extras, std::uint64_t sample,
                        SampleResult& result, const std::atomic<bool>& stop);

}  // namespace sample_methods_detail

template <class Sampler, class Setup>
WorkerFactory walks_from_exact_draws(const Settings& settings, std::uint64_t run_seed,
                                     const Setup& setup, SampleExtras extras) {
    using sample_methods_detail::WalkWorker;
    return [settings, run_seed, &setup, extras]() -> SampleFunction {
        // Made once per worker: the sampler's scratch and the walk's matrix,
        // which every start overwrites cell by cell.
        auto sampler = std::make_shared<Sampler>(setup);
        auto worker = std::make_shared<WalkWorker>(settings.n_vars);
        return [settings, run_seed, sampler, worker, extras](
                   std::uint64_t sample, SampleResult& result, const std::atomic<bool>& stop) {
            auto rng = sample_stream(run_seed, sample);
            SampleResult start;
            if (!sampler->draw_class(rng, start, &stop)) {
                return false;
            }
            sampler->kept_essential_graph(rng, worker->m);
            result = walk_sample(settings, worker->m, rng, &stop, &worker->walk);
            return sample_methods_detail::finish_walk_sample(*worker, extras, sample, result, stop);
        };
    };
}

template <class Sampler, class Setup, bool every_dag>
WorkerFactory exact_class_workers(const Setup& setup, int n_vars, std::uint64_t run_seed,
                                  SampleExtras extras) {
    return [&setup, n_vars, run_seed, extras]() -> SampleFunction {
        auto sampler = std::make_shared<Sampler>(setup);
        auto statistics = std::make_shared<ClassStatisticsCounter>(n_vars);
        return [run_seed, sampler, statistics, extras](std::uint64_t sample, SampleResult& result,
                                                       const std::atomic<bool>& stop) {
            auto rng = sample_stream(run_seed, sample);
            bool drawn = false;
            if constexpr (every_dag) {  // only samplers that draw uniform DAGs need draw_dag()
                drawn = sampler->draw_dag(rng, result, &stop);
            } else {
                drawn = sampler->draw_class(rng, result, &stop);
            }
            if (!drawn) {
                return false;
            }
            statistics->of_dag(sampler->kept_dag(), sampler->kept_essential(), sampler->kept_size(),
                               extras.count_vees, result.classes);
            if (extras.records == nullptr) {
                return true;
            }
            // Drawn after everything the sample reports, and only for a
            // record that writes the graphs.
            const std::span<const int> label = extras.layout.graphs == RecordGraphs::NONE
                                                   ? std::span<const int>()
                                                   : sampler->draw_relabelling(rng);
            std::string record;
            append_exact_record(record, extras.layout, sample, result, sampler->kept_dag(),
                                sampler->kept_essential(), label);
            return extras.records->put(sample, std::move(record), stop);
        };
    };
}

}  // namespace pellimor
