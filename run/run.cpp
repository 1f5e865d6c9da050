#include "run/run.hpp"

#include <atomic>
#include <chrono>
#include <new>

#include "sampler/record_queue.hpp"
#include "sampler/sample_record.hpp"
#include "stats/mixing_check.hpp"

#ifdef PELLIMOR_MPI
#include "cluster/distributed_run.hpp"
#endif

namespace pellimor {

namespace {

using Clock = RunPlan::Clock;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The samples of `numbering` through the engine, or spread over the ranks.
std::int64_t run_samples(const RunPlan& plan, const WorkerFactory& factory,
                         SampleNumbering numbering,
                         const std::function<void(const SampleResult&)>& consume,
                         const std::function<bool(std::int64_t)>& poll,
                         const std::function<void()>& stopped, const ClaimGate& gate = {}) {
#ifdef PELLIMOR_MPI
    if (plan.distributed()) {
        return distributed_run_in_order(factory, numbering, plan.request().threads, consume, poll);
    }
#endif
    return run_in_order(factory, numbering, plan.request().threads, consume, poll,
                        plan.distributed() ? nullptr : stopped, stop_grace, gate);
}

}  // namespace

RunOutcome run(const RunPlan& plan, const RunHooks& hooks) {
    const RunRequest& r = plan.request();
    RunOutcome outcome;
    outcome.statistics.edge_bound = r.edge_bound;
    outcome.reference_note.missing_reason = "the run ended before the check";
    auto stop_asked = [&] { return hooks.stop && hooks.stop(); };

    // Records come from the workers, which hold the graphs (and so the exact
    // class sizes, text or binary), in a queue whose room the workers wait
    // for before they claim samples.
    std::optional<RecordQueue> records;
    ClaimGate record_room;
    if (r.records) {
        records.emplace();
        record_room = [&](std::uint64_t sample, const std::atomic<bool>& stop) {
            records->wait_for_room(sample, stop);
        };
    }
    const WorkerFactory workers = plan.workers(
        {r.count_vees, records ? &*records : nullptr, r.records.value_or(RecordLayout{})});
    std::string record;
    std::function<void()> stopped;
    if (hooks.stopped) {
        stopped = [&] {
            outcome.seconds = seconds_since(plan.started());
            hooks.stopped(outcome);
        };
    }
    std::int64_t consumed = 0;
    try {
        consumed = run_samples(
            plan, workers, SampleNumbering{r.n_samples},
            [&](const SampleResult& result) {
                outcome.statistics.add(result);
                if (records) {
                    record = records->take();
                }
                if (hooks.sample) {
                    hooks.sample(result, record);
                } else if (r.records) {
                    outcome.records.push_back(record);
                }
            },
            [&](std::int64_t done) {
                if (hooks.progress) {
                    hooks.progress(done);
                }
                return stop_asked();
            },
            stopped, record_room);
    } catch (const std::bad_alloc& error) {
#ifdef PELLIMOR_MPI
        const auto* other = dynamic_cast<const RankOutOfMemory*>(&error);
        outcome.out_of_memory_rank = other != nullptr ? other->rank : plan.distributed() ? 0 : -1;
#endif
        // The memory check before the run passed, but memory ran out since
        // (other processes took it, or a record larger than foreseen): the
        // scheduler has stopped its workers, and the samples handed on so
        // far are the run's, as after a stop.
        outcome.out_of_memory = true;
        outcome.seconds = seconds_since(plan.started());
        return outcome;
    }
    // In a cluster run every rank takes the way rank 0's count gives: a rank
    // that went on to the mixing check alone would wait for the others for
    // ever. (A stop that reaches rank 0 after its last sample then ends the
    // mixing check's draws at once instead.)
    outcome.complete = consumed == r.n_samples && (plan.distributed() || !stop_asked());

    // A walk's mean line count, the one value of the mixing check without an
    // exact value, is checked against exact classes drawn from streams of
    // their own, far above the samples', in at most reference_time_share of
    // the time the walks took (measured on rank 0, which alone may end the
    // draws early: another rank that stopped on its own would fail the run).
    // (Decided from the request, which every rank of a cluster run shares:
    // only the reporting rank sees the samples.)
    if (r.method != METHOD_WALK || !outcome.complete || mixing_skip_reason(r.n_its, r.n_samples)) {
        outcome.seconds = seconds_since(plan.started());
        return outcome;
    }
    const auto reference_start = Clock::now();
    const auto budget = (reference_start - plan.started()) * reference_draw_share;
    // The plan's exact draws where its walks start from them; else made here,
    // after the walks have let their graphs go. In a cluster run no rank goes
    // on unless all could make them.
    std::optional<ExactDraws> own_draws;
    const ExactDraws* draws = plan.draws();
    if (draws == nullptr && r.edge_bound.bounded() && r.n_vars > max_edge_bounded_exact_vars) {
        outcome.reference_note.missing_reason = "exact draws bounded by edges go up to n_vars = " +
                                                std::to_string(max_edge_bounded_exact_vars);
    } else if (draws == nullptr) {
        std::string failure;
        try {
            own_draws.emplace(ExactDraws::build(r.n_vars, r.edge_bound));
        } catch (const std::bad_alloc&) {
            if (!plan.distributed() || !hooks.agree) {
                throw;
            }
            failure = "not enough memory for the exact method's tables on n_vars = " +
                      std::to_string(r.n_vars) + " vertices; choose a smaller n_vars";
        }
        if (plan.distributed() && hooks.agree && !hooks.agree(failure)) {
            outcome.complete = false;
            outcome.failed = true;
            outcome.seconds = seconds_since(plan.started());
            return outcome;
        }
        draws = &*own_draws;
    }
    if (draws != nullptr) {
        RunStatistics& reference = outcome.reference.emplace();
        reference.edge_bound = r.edge_bound;
        const WorkerFactory reference_workers = draws->classes(r.seed);
        const SampleNumbering numbering{reference_sample_count(r.n_samples), reference_first_sample,
                                        1};
        const auto over_budget = [&] { return Clock::now() - reference_start > budget; };
        if (!plan.distributed()) {
            // In one process the classes are drawn here, one at a time, so
            // that the budget holds to a class: worker threads would add
            // their start and stop, a large part of a small budget.
            const SampleFunction draw = reference_workers();
            const std::atomic<bool> never{false};
            for (std::int64_t i = 0; i < numbering.count && !stop_asked() && !over_budget(); ++i) {
                SampleResult result;
                draw(numbering.first + static_cast<std::uint64_t>(i), result, never);
                reference.add(result);
            }
        } else {
            // The ranks of a cluster must all take part; rank 0 alone may end
            // the draws (another rank that stopped on its own would fail the
            // run).
            run_samples(
                plan, reference_workers, numbering,
                [&](const SampleResult& result) { reference.add(result); },
                [&](std::int64_t) { return stop_asked() || (plan.reporting() && over_budget()); },
                nullptr);
        }
        outcome.reference_note.seconds = seconds_since(reference_start);
        if (stop_asked()) {
            outcome.reference.reset();
            outcome.complete = false;
        } else if (reference.samples < mixing_min_samples) {
            outcome.reference.reset();
            outcome.reference_note.missing_reason = reference_too_costly();
        }
    }
    outcome.seconds = seconds_since(plan.started());
    return outcome;
}

RunReport report_of(const RunPlan& plan, const RunOutcome& outcome, const Provenance& provenance) {
    const RunRequest& r = plan.request();
    const RunInfo info{r.method,         r.start == WalkStart::EXACT ? "exact" : "empty",
                       r.n_vars,         r.n_its,
                       r.n_samples,      r.seed,
                       r.threads,        outcome.seconds,
                       outcome.complete, provenance,
                       r.edge_bound};
    ExactValues exact = plan.exact();
    if (!r.edge_bound.bounded() && !exact.counts) {
        exact.counts = count_row(r.n_vars);
    }
    return report_run(info, outcome.statistics, exact,
                      outcome.reference ? &*outcome.reference : nullptr, outcome.reference_note);
}

}  // namespace pellimor
