#include "run/exact_draws.hpp"

#include <type_traits>

#include "sampler/dag_counts.hpp"
#include "sampler/exact_sampler.hpp"

namespace pellimor {

namespace {

// The workers of a Sampler over its Setup on n_vars vertices.
template <class Sampler, class Setup>
class SamplerSource final : public ExactDraws::Source {
  public:
    SamplerSource(std::unique_ptr<const Setup> setup, int n_vars)
        : setup_(std::move(setup)), n_vars_(n_vars) {}

    WorkerFactory classes(std::uint64_t run_seed, SampleExtras extras) const override {
        return exact_class_workers<Sampler>(*setup_, n_vars_, run_seed, extras);
    }
    WorkerFactory dags(std::uint64_t run_seed, SampleExtras extras) const override {
        return exact_class_workers<Sampler, Setup, true>(*setup_, n_vars_, run_seed, extras);
    }
    WorkerFactory walks(const Settings& settings, std::uint64_t run_seed,
                        SampleExtras extras) const override {
        return walks_from_exact_draws<Sampler>(settings, run_seed, *setup_, extras);
    }
    const SparseSetup* sparse() const override {
        if constexpr (std::is_same_v<Setup, SparseSetup>) {
            return setup_.get();
        }
        return nullptr;
    }

  private:
    std::unique_ptr<const Setup> setup_;
    int n_vars_;
};

}  // namespace

// One case per sampler, here and in build().
ExactDraws::Memory ExactDraws::memory(int n, EdgeBound bound) {
    if (bound.bounded()) {
        return {static_cast<double>(WeightedDagTables::bytes_needed(n)),
                static_cast<double>(SparseExactSampler::bytes_per_worker(n, bound.edges))};
    }
    return {static_cast<double>(DagCounts::bytes_needed(n)),
            static_cast<double>(ExactSampler::bytes_per_worker(n))};
}

ExactDraws ExactDraws::build(int n, EdgeBound bound) {
    if (bound.bounded()) {
        return ExactDraws(std::make_unique<SamplerSource<SparseExactSampler, SparseSetup>>(
            std::make_unique<const SparseSetup>(make_sparse_setup(n, bound)), n));
    }
    return ExactDraws(std::make_unique<SamplerSource<ExactSampler, DagCounts>>(
        std::make_unique<const DagCounts>(n), n));
}

}  // namespace pellimor
