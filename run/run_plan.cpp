#include "run/run_plan.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "graph/bit_rows.hpp"
#include "sampler/record_queue.hpp"
#include "sampler/sample_record.hpp"
#include "stats/mixing_check.hpp"

#ifdef PELLIMOR_MPI
#include "cluster/mpi_session.hpp"
#endif

namespace pellimor {

namespace {

// Beyond this many vertices the walk's matrix alone takes 4 TiB, more than
// any machine has; the exact samplers' own sizes are then left out, as their
// size computations are not made for such n.
constexpr int largest_exact_estimate = 1 << 20;

Settings walk_settings(const RunRequest& r) {
    return Settings{r.n_vars, r.n_its, r.full_check, r.edge_bound};
}

// What a method's samples need: one case per method.
struct MethodNeeds {
    bool walks = false;        // the samples are walks: a walk's graphs per worker, a mixing check
    bool exact_draws = false;  // the samples draw classes exactly: the tables, a sampler per worker
    WorkerFactory (*workers)(const RunPlan&, SampleExtras) = nullptr;
};

MethodNeeds method_needs(const RunRequest& request) {
    switch (request.method) {
        case METHOD_WALK:
            return {true, request.start == WalkStart::EXACT,
                    [](const RunPlan& plan, SampleExtras extras) {
                        const RunRequest& r = plan.request();
                        return plan.draws() != nullptr
                                   ? plan.draws()->walks(walk_settings(r), r.seed, extras)
                                   : walk_workers(walk_settings(r), r.seed, nullptr, extras);
                    }};
        case METHOD_EXACT:
            return {false, true, [](const RunPlan& plan, SampleExtras extras) {
                        return plan.draws()->classes(plan.request().seed, extras);
                    }};
        case METHOD_DAGS:
            return {false, true, [](const RunPlan& plan, SampleExtras extras) {
                        return plan.draws()->dags(plan.request().seed, extras);
                    }};
    }
    throw std::invalid_argument("unknown sampling method");
}

// The walk's own graphs: the matrix, the judge of its moves, and the
// statistics of the class it reaches.
double walk_bytes_per_worker(const RunRequest& r) {
    const double n = r.n_vars;
    // As words_for() counts them, without its int arithmetic, which would
    // overflow for the largest n_vars.
    const double words = n > word_bits ? std::ceil(n / word_bits) : 1;
    const double matrix = 4 * n * n;
    // The statistics of the class reached: three rows of bits per vertex and
    // the class-size counter's row per vertex and memo of 2^16 counts.
    const double statistics = 4 * n * words * 8 + 4 * n + (1 << 16) * 12.0;
    if (r.full_check) {
        // The complete test copies the matrix without its arrows, and keeps
        // a level per vertex.
        return matrix + statistics + 4 * n * n + 4 * n;
    }
    // The incremental judge: four rows of bits per vertex (a fifth while
    // they are built) and a few arrays of one int per vertex.
    return matrix + statistics + 5 * n * words * 8 + 6 * 4 * n;
}

}  // namespace

bool distributed_run() {
#ifdef PELLIMOR_MPI
    const MpiSession* cluster = MpiSession::current();
    return cluster != nullptr && cluster->size() > 1;
#else
    return false;
#endif
}

bool reporting_rank() {
#ifdef PELLIMOR_MPI
    const MpiSession* cluster = MpiSession::current();
    return cluster == nullptr || cluster->rank() == 0;
#else
    return true;
#endif
}

// Uniform DAGs come from the DAG samplers only: the layered method draws
// classes without a DAG of each.
static SparseMethod draws_method(const RunRequest& r) {
    return r.method == METHOD_DAGS ? SparseMethod::DAG : r.sparse_method;
}

MemoryNeed memory_needed(const RunRequest& r) {
    const MethodNeeds needs = method_needs(r);
    MemoryNeed need;
    if (needs.exact_draws && r.n_vars <= largest_exact_estimate) {
        const ExactDraws::Memory draws =
            ExactDraws::memory(r.n_vars, r.edge_bound, draws_method(r));
        need.shared = draws.shared;
        need.per_worker = draws.per_worker;
    }
    if (needs.walks) {
        need.per_worker += walk_bytes_per_worker(r);
    }
    // A walk's mixing check draws up to max(1000, n_samples) reference
    // classes, after the walks have let their graphs go: on the main thread
    // in one process, on the same number of worker threads in a cluster run.
    std::int64_t longest_batch = r.n_samples;
    if (distributed_run() && needs.walks && !mixing_skip_reason(r.n_its, r.n_samples)) {
        longest_batch = std::max(longest_batch, reference_sample_count(r.n_samples));
    }
    need.threads = static_cast<int>(std::min<std::int64_t>(r.threads, longest_batch));
    // Every worker builds its exact sampler when it starts; a walk from the
    // empty graph builds its graphs with its first sample.
    need.workers = needs.exact_draws
                       ? need.threads
                       : static_cast<int>(std::min<std::int64_t>(r.threads, r.n_samples));
    // Records: each worker builds one in room made for all of it (with no
    // graphs, its statistics alone). Past the workers' own, the queue holds
    // whole records short of its byte limit while the writer is behind, and
    // the writer one more. The edges of a uniform DAG (and of the classes)
    // are about n(n-1)/4, or the bound's.
    if (r.records) {
        const double n = r.n_vars;
        const double edges =
            r.edge_bound.bounded() ? static_cast<double>(r.edge_bound.edges) : n * (n - 1) / 4;
        need.record = record_bytes(*r.records, r.n_vars, 1.01 * edges);
        need.per_worker += need.record;
        const double queued = std::max<double>(0, static_cast<double>(r.n_samples - need.threads));
        const double held =
            1 + std::floor(static_cast<double>(RecordQueue::default_byte_limit) / need.record);
        need.shared += std::min(queued, held) * need.record;
    }
    return need;
}

RunPlan plan_run(const RunRequest& request, RunPlan::Clock::time_point started) {
    check_request(request);
    RunPlan plan;
    plan.request_ = request;
    plan.started_ = started;
    plan.distributed_ = distributed_run();
    plan.reporting_ = reporting_rank();
    if (plan.distributed_ && request.records) {
        throw std::invalid_argument("records need a run of one process");
    }
    const MethodNeeds needs = method_needs(request);
    plan.memory_ = memory_needed(request);
    plan.make_workers_ = needs.workers;
    if (needs.exact_draws) {
        plan.draws_.emplace(
            ExactDraws::build(request.n_vars, request.edge_bound, draws_method(request)));
    }
    // Only the rank that reports holds the estimates against exact values,
    // and states what bounded exact draws cost. A walk's mixing check holds
    // it against the exact share without lines.
    if (plan.reporting_) {
        plan.exact_ =
            make_exact_values(request.n_vars, request.edge_bound, needs.walks || request.summary,
                              request.method == METHOD_DAGS && request.summary);
        // Uniform DAGs keep every DAG drawn: no rejection to plan for.
        if (plan.draws_ && plan.draws_->sparse() != nullptr && request.method == METHOD_EXACT) {
            plan.cost_ = plan_edge_bounded_draws(
                *plan.draws_->sparse(), request.n_samples, request.threads, request.seed,
                plan.exact_.edge_bound ? &*plan.exact_.edge_bound : nullptr);
        } else if (plan.draws_ && plan.draws_->layered() != nullptr) {
            plan.cost_ = plan_layered_draws(*plan.draws_->layered(), plan.draws_->setup_seconds(),
                                            request.n_samples, request.threads, request.seed);
        }
    }
    return plan;
}

}  // namespace pellimor
