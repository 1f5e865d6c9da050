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

#include <cstdint>
#include <memory>

#include "graph/edge_bound.hpp"
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
    // is built.
    static Memory memory(int n, EdgeBound bound);

    // Builds the tables for n vertices under `bound` (exactly or at most E,
    // n <= max_edge_bounded_exact_vars, or none). Throws std::bad_alloc.
    static ExactDraws build(int n, EdgeBound bound);

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
    };

  private:
    explicit ExactDraws(std::unique_ptr<const Source> source) : source_(std::move(source)) {}

    std::unique_ptr<const Source> source_;
};

}  // namespace pellimor
