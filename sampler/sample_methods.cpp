#include "sampler/sample_methods.hpp"

#include <algorithm>
#include <memory>

#include "sampler/exact_sampler.hpp"
#include "sampler/sample_record.hpp"

namespace pellimor {

namespace {

// What one walk worker owns: the walk's matrix, which every sample starts
// afresh, and the scratch of the class statistics.
struct WalkWorker {
    explicit WalkWorker(int n) : m(n), sizes(n), statistics(n) {}

    EdgeMatrix m;
    ClassSizeCounter sizes;
    ClassStatisticsCounter statistics;
};

void clear(EdgeMatrix& m) {
    for (int r = 0; r < m.size(); ++r) {
        std::fill(m[r], m[r] + m.size(), EDGE_NONE);
    }
}

// The class statistics of the walk's final graph, and its record.
bool finish_walk_sample(WalkWorker& worker, const SampleExtras& extras, std::uint64_t sample,
                        SampleResult& result, const std::atomic<bool>& stop) {
    if (stop.load(std::memory_order_relaxed)) {
        return false;
    }
    worker.statistics.of_matrix(worker.m, worker.sizes, extras.count_vees, result.classes);
    if (extras.records != nullptr) {
        std::string record;
        append_walk_record(record, extras.layout, sample, result, worker.m);
        return extras.records->put(sample, std::move(record), stop);
    }
    return true;
}

// Walks that each start from a class drawn exactly by a Sampler built from
// setup (which must outlive the workers), from the sample's own stream; the
// walk goes on with the same stream.
template <class Sampler, class Setup>
WorkerFactory walks_from_exact_draws(const Settings& settings, std::uint64_t run_seed,
                                     const Setup& setup, SampleExtras extras) {
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
            result = walk_sample(settings, worker->m, rng, &stop);
            return finish_walk_sample(*worker, extras, sample, result, stop);
        };
    };
}

// Workers whose samples are the classes kept by a Sampler built from setup
// (which must outlive the workers), on n_vars vertices, with their statistics
// and, when asked for, their records.
template <class Sampler, class Setup>
WorkerFactory exact_class_workers(const Setup& setup, int n_vars, std::uint64_t run_seed,
                                  SampleExtras extras) {
    return [&setup, n_vars, run_seed, extras]() -> SampleFunction {
        auto sampler = std::make_shared<Sampler>(setup);
        auto statistics = std::make_shared<ClassStatisticsCounter>(n_vars);
        return [run_seed, sampler, statistics, extras](std::uint64_t sample, SampleResult& result,
                                                       const std::atomic<bool>& stop) {
            auto rng = sample_stream(run_seed, sample);
            if (!sampler->draw_class(rng, result, &stop)) {
                return false;
            }
            statistics->of_dag(sampler->kept_dag(), sampler->kept_essential(), sampler->kept_size(),
                               extras.count_vees, result.classes);
            if (extras.records == nullptr) {
                return true;
            }
            // Drawn after everything the sample reports.
            const std::span<const int> label = sampler->draw_relabelling(rng);
            std::string record;
            append_exact_record(record, extras.layout, sample, result, sampler->kept_dag(),
                                sampler->kept_essential(), label);
            return extras.records->put(sample, std::move(record), stop);
        };
    };
}

}  // namespace

WorkerFactory walk_workers(const Settings& settings, std::uint64_t run_seed,
                           const DagCounts* exact_start, SampleExtras extras) {
    if (exact_start == nullptr) {
        return [settings, run_seed, extras]() -> SampleFunction {
            // Built with the worker's first sample, so that workers left
            // without one allocate nothing.
            auto worker = std::make_shared<std::unique_ptr<WalkWorker>>();
            return [settings, run_seed, extras, worker](std::uint64_t sample, SampleResult& result,
                                                        const std::atomic<bool>& stop) {
                if (!*worker) {
                    *worker = std::make_unique<WalkWorker>(settings.n_vars);
                }
                WalkWorker& own = **worker;
                // As run_sample, on the worker's own matrix.
                clear(own.m);
                auto rng = sample_stream(run_seed, sample);
                result = walk_sample(settings, own.m, rng, &stop);
                return finish_walk_sample(own, extras, sample, result, stop);
            };
        };
    }
    return walks_from_exact_draws<ExactSampler>(settings, run_seed, *exact_start, extras);
}

WorkerFactory sparse_start_walk_workers(const Settings& settings, std::uint64_t run_seed,
                                        const SparseSetup& start, SampleExtras extras) {
    return walks_from_exact_draws<SparseExactSampler>(settings, run_seed, start, extras);
}

WorkerFactory sparse_exact_workers(const SparseSetup& setup, std::uint64_t run_seed,
                                   SampleExtras extras) {
    return exact_class_workers<SparseExactSampler>(setup, setup.tables->size(), run_seed, extras);
}

WorkerFactory layered_exact_workers(const LayeredSetup& setup, std::uint64_t run_seed,
                                    SampleExtras extras) {
    return exact_class_workers<LayeredSampler>(setup, setup.table->size(), run_seed, extras);
}

WorkerFactory exact_workers(const DagCounts& tables, std::uint64_t run_seed, SampleExtras extras) {
    return exact_class_workers<ExactSampler>(tables, tables.size(), run_seed, extras);
}

}  // namespace pellimor
