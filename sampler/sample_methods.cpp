#include "sampler/sample_methods.hpp"

#include <memory>

#include "sampler/exact_sampler.hpp"

namespace pellimor {

WorkerFactory walk_workers(const Settings& settings, std::uint64_t run_seed,
                           const DagCounts* exact_start) {
    if (exact_start == nullptr) {
        return [settings, run_seed]() -> SampleFunction {
            return [settings, run_seed](std::uint64_t sample, SampleResult& result,
                                        const std::atomic<bool>& stop) {
                result = run_sample(settings, run_seed, sample, &stop);
                return !stop.load(std::memory_order_relaxed);
            };
        };
    }
    return [settings, run_seed, exact_start]() -> SampleFunction {
        // Made once per worker: the sampler's scratch and the walk's matrix,
        // which every start overwrites cell by cell.
        auto sampler = std::make_shared<ExactSampler>(*exact_start);
        auto m = std::make_shared<EdgeMatrix>(settings.n_vars);
        return [settings, run_seed, sampler, m](std::uint64_t sample, SampleResult& result,
                                                const std::atomic<bool>& stop) {
            auto rng = sample_stream(run_seed, sample);
            SampleResult start;
            if (!sampler->draw_class(rng, start, &stop)) {
                return false;
            }
            sampler->kept_essential_graph(rng, *m);
            result = walk_sample(settings, *m, rng, &stop);
            return !stop.load(std::memory_order_relaxed);
        };
    };
}

WorkerFactory sparse_start_walk_workers(const Settings& settings, std::uint64_t run_seed,
                                        const SparseSetup& start) {
    return [settings, run_seed, &start]() -> SampleFunction {
        auto sampler = std::make_shared<SparseExactSampler>(start);
        auto m = std::make_shared<EdgeMatrix>(settings.n_vars);
        return [settings, run_seed, sampler, m](std::uint64_t sample, SampleResult& result,
                                                const std::atomic<bool>& stop) {
            auto rng = sample_stream(run_seed, sample);
            SampleResult first;
            if (!sampler->draw_class(rng, first, &stop)) {
                return false;
            }
            sampler->kept_essential_graph(rng, *m);
            result = walk_sample(settings, *m, rng, &stop);
            return !stop.load(std::memory_order_relaxed);
        };
    };
}

WorkerFactory sparse_exact_workers(const SparseSetup& setup, std::uint64_t run_seed) {
    return [&setup, run_seed]() -> SampleFunction {
        auto sampler = std::make_shared<SparseExactSampler>(setup);
        return [run_seed, sampler](std::uint64_t sample, SampleResult& result,
                                   const std::atomic<bool>& stop) {
            auto rng = sample_stream(run_seed, sample);
            return sampler->draw_class(rng, result, &stop);
        };
    };
}

WorkerFactory exact_workers(const DagCounts& tables, std::uint64_t run_seed) {
    return [&tables, run_seed]() -> SampleFunction {
        auto sampler = std::make_shared<ExactSampler>(tables);
        return [run_seed, sampler](std::uint64_t sample, SampleResult& result,
                                   const std::atomic<bool>& stop) {
            auto rng = sample_stream(run_seed, sample);
            return sampler->draw_class(rng, result, &stop);
        };
    };
}

}  // namespace pellimor
