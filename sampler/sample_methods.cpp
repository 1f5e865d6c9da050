#include "sampler/sample_methods.hpp"

#include <algorithm>

#include "sampler/exact_sampler.hpp"

namespace pellimor {

namespace sample_methods_detail {

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

}  // namespace sample_methods_detail

namespace {

void clear(EdgeMatrix& m) {
    for (int r = 0; r < m.size(); ++r) {
        std::fill(m[r], m[r] + m.size(), EDGE_NONE);
    }
}

}  // namespace

WorkerFactory walk_workers(const Settings& settings, std::uint64_t run_seed,
                           const DagCounts* exact_start, SampleExtras extras) {
    using sample_methods_detail::WalkWorker;
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
                result = walk_sample(settings, own.m, rng, &stop, &own.walk);
                return sample_methods_detail::finish_walk_sample(own, extras, sample, result, stop);
            };
        };
    }
    return walks_from_exact_draws<ExactSampler>(settings, run_seed, *exact_start, extras);
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
