#include "driver/sample_loop.hpp"

#include <unistd.h>

#include <cstdio>
#include <functional>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "driver/canonical_arguments.hpp"
#include "driver/memory_budget.hpp"
#include "driver/progress.hpp"
#include "driver/rank_agreement.hpp"
#include "driver/report_sink.hpp"
#include "driver/stop_signals.hpp"
#include "run/run.hpp"
#include "sampler/random.hpp"
#include "sampler/sample_record.hpp"
#include "stats/run_ending.hpp"

namespace pellimor {

namespace {

// The plan of `request`. In a cluster run no rank goes on unless every rank
// could build its tables: a rank that ran out of memory alone would leave
// the others waiting for its samples (`agree` asks them all). A single
// process lets std::bad_alloc go. Nothing when the ranks gave up.
std::optional<RunPlan> plan_on_every_rank(const RunRequest& request,
                                          std::chrono::steady_clock::time_point start,
                                          const std::function<bool(const std::string&)>& agree) {
    std::optional<RunPlan> plan;
    std::string failure;
    try {
        plan.emplace(plan_run(request, start));
    } catch (const std::bad_alloc&) {
        if (!distributed_run()) {
            throw;
        }
        failure = "not enough memory for the exact method's tables on n_vars = " +
                  std::to_string(request.n_vars) + " vertices; choose a smaller n_vars";
    }
    if (distributed_run() && !agree(failure)) {
        plan.reset();
    }
    return plan;
}

// Says what exact draws bounded by edges will cost; true when they would
// take more than an hour and the run is refused (not with --force, nor in a
// cluster run, whose ranks time their pilots apart).
bool refused_for_cost(const RunPlan& plan, bool force) {
    const std::optional<EdgeBoundPlan>& cost = plan.cost();
    if (!cost) {
        return false;
    }
    const RunRequest& request = plan.request();
    const std::string what = "classes on " + std::to_string(request.n_vars) + " vertices with " +
                             describe_edge_bound(request.edge_bound);
    const std::string plan_text = describe_plan(*cost, request.n_samples, request.threads);
    if (cost->expected_seconds > longest_planned_seconds && !force && !plan.distributed() &&
        cost->layered) {
        std::fprintf(stderr,
                     "pellimor: exact draws of %s: %s. That is more than an hour. Ask for fewer "
                     "samples, use the walk (pellimor --max-edges %lld n_vars n_its n_samples), "
                     "or --force.\n",
                     what.c_str(), plan_text.c_str(),
                     static_cast<long long>(request.edge_bound.edges));
        return true;
    }
    if (cost->expected_seconds > longest_planned_seconds && !force && !plan.distributed()) {
        std::fprintf(stderr,
                     "pellimor: exact draws of %s: %s. That is more than an hour: sparse classes "
                     "hold so many DAGs that few draws are kept. Use the walk (pellimor "
                     "--max-edges %lld%s n_vars n_its n_samples), fewer samples, or --force.\n",
                     what.c_str(), plan_text.c_str(),
                     static_cast<long long>(request.edge_bound.edges),
                     request.method == METHOD_EXACT ? "" : " --start empty");
        return true;
    }
    std::fprintf(stderr, "pellimor: exact draws of %s: %s\n", what.c_str(), plan_text.c_str());
    return false;
}

// Where the end of a run goes, and how the run went for its outputs.
struct EndTargets {
    RunOutputs& outputs;
    ReportSink& sink;
    bool stdout_taken = false;   // the samples took standard output
    bool output_failed = false;  // standard output or the streamed samples failed
    int stopped_by = 0;          // the signal that stopped the run, or 0
};

// The end of a run: the mixing check's warning, the summary and the JSON,
// from every finished sample. True when everything was saved (and, with
// --strict, the mixing check passed).
bool finish_run(const Options& options, const RunPlan& plan, const RunOutcome& outcome,
                const Provenance& provenance, const EndTargets& to) {
    RunOutputs& outputs = to.outputs;
    std::optional<RunReport> report;
    RunEnding ending;
    // A walk always has its mixing check; the rest only when asked for.
    if (plan.request().method == METHOD_WALK || options.summary || outputs.json) {
        report = report_of(plan, outcome, provenance);
        ending = end_run(*report, {options.summary, outputs.json.has_value()});
    }
    if (!ending.warning.empty()) {
        std::fputs(ending.warning.c_str(), stderr);
    }
    bool saved = to.sink.finish();
    if (outputs.samples) {
        // The samples finished, as the summary counts them, or none.
        saved = !outputs.samples->finish() && saved;  // a failure was said when it came
        outputs.samples.reset();
    }
    // Also after a stop, and whole, as long as the reader takes it.
    if (!ending.summary.empty() && !(to.output_failed && !to.stdout_taken)) {
        if (const int error =
                write_all(to.stdout_taken ? STDERR_FILENO : STDOUT_FILENO, ending.summary);
            error != 0) {
            std::fprintf(stderr, "pellimor: writing the summary to standard %s failed: %s\n",
                         to.stdout_taken ? "error" : "output", write_failure_text(error).c_str());
            saved = false;
        }
    }
    if (outputs.json) {
        auto error = outputs.json->write(ending.json);
        if (!error) {
            error = outputs.json->commit();
        }
        if (error) {
            std::fprintf(stderr, "pellimor: the JSON summary was not saved: %s\n", error->c_str());
            saved = false;
        }
        outputs.json.reset();  // no temporary file outlives a failure
    }
    if (options.strict && report && report->mixing && !report->mixing->passed) {
        std::fprintf(stderr, "pellimor: --strict: the mixing check flagged the walks%s\n",
                     to.stopped_by == 0 ? "; ending with status 1" : "");
        saved = false;
    }
    return saved;
}

// What a run that ran out of memory still gives, naming the outputs asked
// for: "the summary, the JSON and the --samples records give the N samples
// finished before memory ran out".
std::string kept_after_failure(const Options& options, const RunOutputs& outputs,
                               std::int64_t samples) {
    std::vector<std::string> kept;
    if (options.summary) {
        kept.emplace_back("the summary");
    }
    if (outputs.json) {
        kept.emplace_back("the JSON");
    }
    if (outputs.samples) {
        kept.emplace_back("the --samples records");
    }
    std::string text;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == kept.size() ? " and " : ", ") + kept[i];
    }
    const std::string finished = std::to_string(samples) + (samples == 1 ? " sample" : " samples") +
                                 " finished before memory ran out";
    return kept.empty() ? finished
                        : text + (kept.size() == 1 ? " gives" : " give") + " the " + finished;
}

}  // namespace

std::uint64_t fresh_run_seed() {
    const auto now = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    const auto pid = static_cast<std::uint64_t>(::getpid());
    return SplitMix64::mix(static_cast<std::uint64_t>(now) ^ SplitMix64::mix(pid));
}

int run_estimation(const Options& options, const RunRequest& request, RunOutputs& outputs,
                   const Provenance& provenance, std::chrono::steady_clock::time_point start) {
    const bool reporting = speaks_for_run();
    if (outputs.samples && request.records) {
        outputs.samples->write(record_header(*request.records));  // TSV's header line
    }
    install_stop_signals();
    RunHooks hooks;
    hooks.agree = [&](const std::string& failure) {
        const RankCheck check{failure.empty() ? 0 : 1, failure, shared_arguments(options)};
        const Verdict verdict = agree_across_ranks(check);
        print_verdict(check, verdict);
        return verdict.status == 0;
    };
    const std::optional<RunPlan> plan = plan_on_every_rank(request, start, hooks.agree);
    if (!plan) {
        return 1;
    }
    if (refused_for_cost(*plan, options.force)) {
        // A stop during the plan's pilot stopped the run before it was refused.
        return stop_signal() != 0 ? 128 + stop_signal() : 2;
    }
    // --samples: with "-" the records take standard output, and the report
    // lines and the summary go to standard error.
    const bool stdout_taken = outputs.samples && outputs.samples->to_standard_output();
    ReportSink sink(outputs.results_file,
                    request.method == METHOD_DAGS    ? format_dags_report_line
                    : request.method == METHOD_EXACT ? format_exact_report_line
                                                     : format_report_line,
                    start, stdout_taken ? STDERR_FILENO : STDOUT_FILENO);
    ProgressLine progress(reporting && ::isatty(STDERR_FILENO) == 1, stderr, request.n_samples,
                          request.seed, start);
    EndTargets to{outputs, sink, stdout_taken};
    RunningTotals totals;
    // A run stops early on a signal, or when standard output fails (a
    // reader that closed its pipe), or samples written as the run goes
    // cannot be: nobody would see the lines to come.
    int& stopped_by = to.stopped_by;
    hooks.stop = [&] {
        stopped_by = stop_signal();
        to.output_failed =
            sink.stdout_failed() ||
            (outputs.samples && outputs.samples->streaming() && outputs.samples->failed());
        return stopped_by != 0 || to.output_failed;
    };
    hooks.progress = [&](std::int64_t done) {
        if (done < request.n_samples) {
            progress.update(done);
        } else {
            progress.erase();
        }
    };
    hooks.sample = [&](const SampleResult& result, std::string_view record) {
        totals.add(result);
        if (outputs.samples) {
            outputs.samples->write(record);
        }
        if (totals.samples % 100 == 0) {
            progress.erase();
            sink.report(totals);
            if (outputs.samples) {
                outputs.samples->flush();
            }
        }
    };
    auto exit_status = [&](bool saved) {
        return stopped_by != 0 ? 128 + stopped_by : saved ? 0 : 1;
    };
    // A stopped run, once its workers have stopped (so that it has the CPUs
    // to itself): every line so far is whole in the results file; say what
    // the finished samples give, and leave without waiting for a worker
    // that may be deep in a long setup.
    hooks.stopped = [&](const RunOutcome& so_far) {
        progress.erase();
        end_run_now(exit_status(finish_run(options, *plan, so_far, provenance, to)));
    };

    const RunOutcome outcome = run(*plan, hooks);
    progress.erase();
    if (outcome.failed) {
        return 1;
    }
    if (!reporting) {
        // Rank 0 says why a run it ended early failed.
        return stopped_by != 0 ? 128 + stopped_by : outcome.complete ? 0 : 1;
    }
    if (outcome.out_of_memory) {
        // Memory ran out after the check before the run: the run fails, and
        // its outputs are finished as after a stop.
        const std::string rank = outcome.out_of_memory_rank >= 0
                                     ? "rank " + std::to_string(outcome.out_of_memory_rank) + ": "
                                     : "";
        std::fprintf(stderr, "pellimor: %s%s; %s\n", rank.c_str(),
                     not_enough_memory(request.n_vars, memory_needed(request).per_worker).c_str(),
                     kept_after_failure(options, outputs, outcome.statistics.samples).c_str());
        finish_run(options, *plan, outcome, provenance, to);
        return stopped_by != 0 ? 128 + stopped_by : 1;
    }
    return exit_status(finish_run(options, *plan, outcome, provenance, to));
}

}  // namespace pellimor
