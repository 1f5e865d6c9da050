#include "run/exact_draws.hpp"

#include <chrono>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "run/run_request.hpp"  // max_edge_bounded_exact_vars
#include "sampler/dag_counts.hpp"
#include "sampler/exact_sampler.hpp"
#include "sampler/layered_sampler.hpp"

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
        if constexpr (std::is_same_v<Setup, LayeredSetup>) {
            // The plan draws uniform DAGs from the DAG samplers only.
            throw std::logic_error("the layered method draws classes, not uniform DAGs");
        } else {
            return exact_class_workers<Sampler, Setup, true>(*setup_, n_vars_, run_seed, extras);
        }
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
    const LayeredSetup* layered() const override {
        if constexpr (std::is_same_v<Setup, LayeredSetup>) {
            return setup_.get();
        }
        return nullptr;
    }

  private:
    std::unique_ptr<const Setup> setup_;
    int n_vars_;
};

SparseMethod resolved(int n, EdgeBound bound, SparseMethod method) {
    if (!bound.bounded()) {
        return SparseMethod::DAG;
    }
    return method == SparseMethod::AUTO ? preferred_sparse_method(n, bound) : method;
}

}  // namespace

// One case per sampler, here and in build().
ExactDraws::Memory ExactDraws::memory(int n, EdgeBound bound, SparseMethod method) {
    if (resolved(n, bound, method) == SparseMethod::LAYERED) {
        return {static_cast<double>(LayeredTable::bytes_needed(n)),
                static_cast<double>(LayeredSampler::bytes_per_worker(n))};
    }
    if (bound.bounded()) {
        return {static_cast<double>(WeightedDagTables::bytes_needed(n)),
                static_cast<double>(SparseExactSampler::bytes_per_worker(n, bound.edges))};
    }
    return {static_cast<double>(DagCounts::bytes_needed(n)),
            static_cast<double>(ExactSampler::bytes_per_worker(n))};
}

ExactDraws ExactDraws::build(int n, EdgeBound bound, SparseMethod method,
                             const std::atomic<bool>* stop) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    auto seconds = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
    if (resolved(n, bound, method) == SparseMethod::LAYERED) {
        try {
            auto setup =
                std::make_unique<const LayeredSetup>(make_layered_setup(n, bound.edges, stop));
            return ExactDraws(
                std::make_unique<SamplerSource<LayeredSampler, LayeredSetup>>(std::move(setup), n),
                SparseMethod::LAYERED, seconds());
        } catch (const std::domain_error& e) {
            // The table's sums cancel beyond its precision at this weight.
            if (method == SparseMethod::LAYERED || n > max_edge_bounded_exact_vars) {
                throw std::invalid_argument(
                    "the layered method cannot draw classes on " + std::to_string(n) +
                    " vertices with exactly " + std::to_string(bound.edges) +
                    " edges: " + e.what() +
                    "; at this mean degree it reaches smaller n_vars only (docs/sparse.md)");
            }
        } catch (const std::invalid_argument& e) {
            if (method == SparseMethod::LAYERED || n > max_edge_bounded_exact_vars) {
                throw std::invalid_argument("the layered method cannot draw classes on " +
                                            std::to_string(n) + " vertices with exactly " +
                                            std::to_string(bound.edges) + " edges: " + e.what());
            }
        }
    }
    if (bound.bounded()) {
        return ExactDraws(
            std::make_unique<SamplerSource<SparseExactSampler, SparseSetup>>(
                std::make_unique<const SparseSetup>(make_sparse_setup(n, bound, stop)), n),
            SparseMethod::DAG, seconds());
    }
    return ExactDraws(std::make_unique<SamplerSource<ExactSampler, DagCounts>>(
                          std::make_unique<const DagCounts>(n), n),
                      SparseMethod::DAG, seconds());
}

}  // namespace pellimor
