#pragma once

// The exact sampler of a run: what draws its classes exactly uniformly, for
// the exact method, for walks that start from exact draws, and for a walk's
// mixing check. Over all classes, uniform DAGs kept with probability 1/s
// (DagCounts, ExactSampler); within an edge bound, DAGs with E (at most E)
// edges kept alike (SparseSetup, SparseExactSampler). Its tables are built
// once and shared read-only by every worker.
//
// Another exact sampler with ExactSampler's interface (sampler/
// sample_methods.hpp) plugs in as one more case in memory() and build()
// (exact_draws.cpp).

#include <atomic>
#include <cstdint>
#include <memory>

#include "graph/edge_bound.hpp"
#include "run/sparse_method.hpp"
#include "sampler/sample_methods.hpp"
#include "sampler/sparse_exact_sampler.hpp"

namespace pellimor {

class ExactDraws {
  public:
    // In bytes: the tables, and what each worker's sampler holds.
    struct Memory {
        double shared = 0;
        double per_worker = 0;
    };

    // What the sampler for n vertices under `bound` takes, before anything
    // is built; AUTO counts the sampler preferred_sparse_method() names.
    static Memory memory(int n, EdgeBound bound, SparseMethod method = SparseMethod::AUTO);

    // Builds the tables for n vertices under `bound` (exactly or at most E,
    // or none) with `method` for bounded draws: AUTO tries the preferred one
    // and, where the layered table refuses its weight (a graph so sparse
    // that its sums over split pairs cancel), falls back to rejection from
    // DAGs when n <= max_edge_bounded_exact_vars. Throws std::bad_alloc,
    // std::invalid_argument (naming why) where the method asked for cannot
    // draw these classes, and SetupStopped once *stop is set.
    static ExactDraws build(int n, EdgeBound bound, SparseMethod method = SparseMethod::AUTO,
                            const std::atomic<bool>* stop = nullptr);

    // The sampler that draws bounded classes: DAG or LAYERED (DAG also
    // for draws without a bound).
    SparseMethod method() const { return method_; }

    // Workers whose samples are the kept classes, with their statistics.
    WorkerFactory classes(std::uint64_t run_seed, SampleExtras extras = {}) const {
        return source_->classes(run_seed, extras);
    }

    // Workers whose samples are uniform DAGs (within the bound), each with
    // its class: the first DAG each draw takes.
    WorkerFactory dags(std::uint64_t run_seed, SampleExtras extras = {}) const {
        return source_->dags(run_seed, extras);
    }

    // Workers whose samples are walks from the kept classes (settings bound
    // the walks as the sampler's draws are bounded).
    WorkerFactory walks(const Settings& settings, std::uint64_t run_seed,
                        SampleExtras extras = {}) const {
        return source_->walks(settings, run_seed, extras);
    }

    // The tables of draws within an edge bound, or nullptr.
    const SparseSetup* sparse() const { return source_->sparse(); }
    // The layered method's table, or nullptr; and the seconds its build took.
    const LayeredSetup* layered() const { return source_->layered(); }
    double setup_seconds() const { return setup_seconds_; }

    // A sampler with its tables, which stay where they are when the
    // ExactDraws moves. Only making workers goes through it, never a draw.
    class Source {
      public:
        virtual ~Source() = default;
        virtual WorkerFactory classes(std::uint64_t run_seed, SampleExtras extras) const = 0;
        virtual WorkerFactory dags(std::uint64_t run_seed, SampleExtras extras) const = 0;
        virtual WorkerFactory walks(const Settings& settings, std::uint64_t run_seed,
                                    SampleExtras extras) const = 0;
        virtual const SparseSetup* sparse() const { return nullptr; }
        virtual const LayeredSetup* layered() const { return nullptr; }
    };

  private:
    ExactDraws(std::unique_ptr<const Source> source, SparseMethod method, double seconds)
        : source_(std::move(source)), method_(method), setup_seconds_(seconds) {}

    std::unique_ptr<const Source> source_;
    SparseMethod method_ = SparseMethod::DAG;
    double setup_seconds_ = 0;
};

}  // namespace pellimor
