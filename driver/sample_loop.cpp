#include "driver/sample_loop.hpp"

#include <unistd.h>

#include <cstdio>
#include <functional>
#include <new>
#include <optional>
#include <string>

#include "counts/count_table.hpp"
#include "driver/canonical_arguments.hpp"
#include "driver/edge_bound_plan.hpp"
#include "driver/progress.hpp"
#include "driver/rank_agreement.hpp"
#include "driver/report.hpp"
#include "driver/stop_signals.hpp"
#include "sampler/random.hpp"
#include "sampler/record_queue.hpp"
#include "sampler/sample_methods.hpp"
#include "sampler/sample_record.hpp"
#include "sampler/sample_scheduler.hpp"
#include "stats/mixing_check.hpp"
#include "stats/run_ending.hpp"
#include "stats/run_statistics.hpp"

#ifdef PELLIMOR_MPI
#include "cluster/distributed_run.hpp"
#endif

namespace pellimor {

namespace {

using Clock = std::chrono::steady_clock;

double hours_since(Clock::time_point start) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    return static_cast<double>(ms.count()) / 3600000.0;
}

// Where report lines go, and what went wrong on the way.
class ReportSink {
  public:
    using LineFormat = std::string (*)(const RunningTotals&, double);

    // No results file when `file_name` is empty. The screen line goes to
    // screen_fd: standard output, or standard error when the samples take
    // standard output.
    ReportSink(std::optional<std::string> file_name, LineFormat format, Clock::time_point start,
               int screen_fd)
        : file_name_(std::move(file_name)), format_(format), start_(start), screen_fd_(screen_fd) {}

    void report(const RunningTotals& totals) {
        const std::string screen_line = format_(totals, hours_since(start_));
        if (const int error = write_all(screen_fd_, screen_line); error != 0 && !stdout_failed_) {
            stdout_failed_ = true;
            stdout_error_ = error;
        }
        ++lines_;
        if (!file_name_) {
            return;
        }
        const std::string file_line = format_(totals, hours_since(start_));
        if (const auto failure = append_line(*file_name_, file_line)) {
            if (lines_lost_ == 0 && stop_signal() == 0) {
                std::fprintf(stderr,
                             "pellimor: warning: cannot append to results file '%s': %s; "
                             "the run goes on and will end with status 1\n",
                             file_name_->c_str(), failure->c_str());
            }
            ++lines_lost_;
        }
    }

    bool stdout_failed() const { return stdout_failed_; }

    // Says what was lost, on standard error; true when nothing was.
    bool finish() const {
        if (lines_lost_ > 0) {
            std::fprintf(stderr, "pellimor: %d of %d report lines were not saved to '%s'\n",
                         lines_lost_, lines_, file_name_->c_str());
        }
        if (stdout_failed_) {
            std::fprintf(stderr, "pellimor: writing report lines to standard %s failed: %s\n",
                         screen_fd_ == STDOUT_FILENO ? "output" : "error",
                         write_failure_text(stdout_error_).c_str());
        }
        return lines_lost_ == 0 && !stdout_failed_;
    }

  private:
    std::optional<std::string> file_name_;
    LineFormat format_;
    Clock::time_point start_;
    int screen_fd_;
    int lines_ = 0;
    int lines_lost_ = 0;
    bool stdout_failed_ = false;
    int stdout_error_ = 0;
};

// Builds the exact method's tables. In a cluster run every rank builds them
// and none goes on unless all could: a rank that ran out of memory alone
// would leave the others waiting for its samples. False when one could not;
// rank 0 has then said which. (A single process lets std::bad_alloc go.)
bool build_tables(std::optional<DagCounts>& tables, const Options& options, bool distributed) {
    if (!distributed) {
        tables.emplace(options.n_vars);
        return true;
    }
    RankCheck check{0, {}, shared_arguments(options)};
    try {
        tables.emplace(options.n_vars);
    } catch (const std::bad_alloc&) {
        check.status = 1;
        check.message = "not enough memory for the exact method's tables on n_vars = " +
                        std::to_string(options.n_vars) + " vertices; choose a smaller n_vars";
    }
    const Verdict verdict = agree_across_ranks(check);
    print_verdict(check, verdict);
    return verdict.status == 0;
}

}  // namespace

std::uint64_t fresh_run_seed() {
    const auto now = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    const auto pid = static_cast<std::uint64_t>(::getpid());
    return SplitMix64::mix(static_cast<std::uint64_t>(now) ^ SplitMix64::mix(pid));
}

int run_estimation(const Options& options, RunOutputs& outputs, const Provenance& provenance,
                   Clock::time_point start) {
    const Settings settings{options.n_vars, options.n_its, options.full_check,
                            options.max_edges.value_or(-1)};
    // Under mpirun the caller gave every rank rank 0's seed.
    const std::uint64_t seed = options.seed.value_or(fresh_run_seed());
    bool distributed = false;
#ifdef PELLIMOR_MPI
    // Under mpirun: the samples spread over the ranks, and rank 0 alone
    // reports.
    if (const MpiSession* cluster = MpiSession::current(); cluster && cluster->size() > 1) {
        distributed = true;
    }
#endif
    const bool reporting_rank = speaks_for_run();
    const int threads = options.threads.value_or(usable_cpu_count());

    // --samples: each sample's record, written in sample order. With "-"
    // the records take standard output, and the report lines and the
    // summary go to standard error. Records are made by the workers, which
    // hold the graphs: the graphs when asked for, and the exact class size,
    // which past 2^53 is counted again from the class's lines.
    const RecordLayout layout = samples_layout(options);
    const bool with_graphs = outputs.samples && layout.graphs != RecordGraphs::NONE;
    std::optional<RecordQueue> records;
    if (outputs.samples) {
        if (distributed) {
            if (reporting_rank) {
                std::fprintf(stderr,
                             "pellimor: --samples needs a run of one process; run it without "
                             "mpirun or with -np 1\n");
            }
            return 1;
        }
        records.emplace();
        outputs.samples->write(record_header(layout));
    }
    const bool stdout_taken = outputs.samples && outputs.samples->to_standard_output();
    const int text_fd = stdout_taken ? STDERR_FILENO : STDOUT_FILENO;
    // Records with graphs count the vees too, since writing them costs more
    // anyway; records without count them with --stats only.
    const SampleExtras extras{options.stats || with_graphs, records ? &*records : nullptr, layout};

    install_stop_signals();
    // Runs bounded by edges: the exact method with --edges draws among the
    // classes with exactly E edges; the walk with --max-edges moves among
    // those with at most E, and its exact starts and reference are drawn there.
    EdgeBoundInfo edge_bound;
    if (options.exact && options.exact_edges) {
        edge_bound = {EDGES_EXACTLY, *options.exact_edges};
    } else if (!options.exact && options.max_edges) {
        edge_bound = {EDGES_AT_MOST, *options.max_edges};
    }
    const bool bounded = edge_bound.kind != EDGES_ANY;
    std::optional<SparseSetup> sparse;
    auto sparse_setup = [&]() -> const SparseSetup& {
        if (!sparse) {
            sparse = make_sparse_setup(
                options.n_vars, edge_bound.edges,
                edge_bound.kind == EDGES_AT_MOST ? EdgeBound::AT_MOST : EdgeBound::EXACTLY);
        }
        return *sparse;
    };
    if (bounded && (options.exact || options.start == WalkStart::EXACT)) {
        const EdgeBoundPlan plan = plan_edge_bounded_draws(sparse_setup(), options.n_vars,
                                                           options.n_samples, threads, seed);
        const std::string what = "classes on " + std::to_string(options.n_vars) +
                                 " vertices with " + describe_edge_bound(edge_bound);
        // (A cluster run does not refuse: its ranks time their pilots apart.)
        if (plan.expected_seconds > longest_planned_seconds && !options.force && !distributed) {
            if (reporting_rank) {
                std::fprintf(
                    stderr,
                    "pellimor: exact draws of %s: %s. That is more than an hour: sparse classes "
                    "hold so many DAGs that few draws are kept. Use the walk (pellimor "
                    "--max-edges %lld%s n_vars n_its n_samples), fewer samples, or --force.\n",
                    what.c_str(), describe_plan(plan, options.n_samples, threads).c_str(),
                    static_cast<long long>(edge_bound.edges),
                    options.exact ? "" : " --start empty");
            }
            return 2;
        }
        if (reporting_rank) {
            std::fprintf(stderr, "pellimor: exact draws of %s: %s\n", what.c_str(),
                         describe_plan(plan, options.n_samples, threads).c_str());
        }
    }
    // The exact values that the summary, the JSON and the walk's mixing
    // check hold the estimates against take about half a second at n_vars =
    // 10000 (count_row keeps them once made). Made before the workers start,
    // so that the end of a stopped run never waits for them while dozens of
    // workers share the CPUs.
    const bool checks_mixing =
        !options.exact && !mixing_skip_reason(options.n_its, options.n_samples);
    if (speaks_for_run() && (options.summary || outputs.json || checks_mixing)) {
        static_cast<void>(count_row(options.n_vars));
    }
    // The exact method's tables, also used by walks that start from exact
    // draws; built once and shared read-only by every worker.
    std::optional<DagCounts> tables;
    if (!bounded && (options.exact || options.start == WalkStart::EXACT) &&
        !build_tables(tables, options, distributed)) {
        return 1;
    }
    WorkerFactory workers;
    if (options.exact) {
        workers = bounded ? sparse_exact_workers(sparse_setup(), seed, extras)
                          : exact_workers(*tables, seed, extras);
    } else if (bounded && options.start == WalkStart::EXACT) {
        workers = sparse_start_walk_workers(settings, seed, sparse_setup(), extras);
    } else {
        workers = walk_workers(settings, seed, tables ? &*tables : nullptr, extras);
    }
    ReportSink sink(outputs.results_file,
                    options.exact ? format_exact_report_line : format_report_line, start,
                    stdout_taken ? STDERR_FILENO : STDOUT_FILENO);
    ProgressLine progress(reporting_rank && ::isatty(STDERR_FILENO) == 1, stderr, options.n_samples,
                          seed, start);
    RunningTotals totals;
    RunStatistics statistics;
    statistics.edge_bound = bounded ? edge_bound.edges : -1;
    // A run stops early on a signal, or when standard output fails (a
    // reader that closed its pipe), or samples written as the run goes
    // cannot be: nobody would see the lines to come.
    int stopped_by = 0;
    bool output_failed = false;
    auto poll_stop = [&] {
        stopped_by = stop_signal();
        output_failed = sink.stdout_failed() || (outputs.samples && outputs.samples->streaming() &&
                                                 outputs.samples->failed());
        return stopped_by != 0 || output_failed;
    };
    auto exit_status = [&](bool saved) {
        if (stopped_by != 0) {
            return 128 + stopped_by;
        }
        return saved ? 0 : 1;
    };
    // The end of a run: the mixing check's warning, the summary and the JSON,
    // from every finished sample. True when everything was saved (and, with
    // --strict, the mixing check passed).
    std::optional<RunStatistics> reference;
    double reference_seconds = 0;
    std::string no_reference_reason = "the run ended before the check";
    auto finish_run = [&](bool complete) {
        RunInfo info{options.exact ? METHOD_EXACT : METHOD_WALK,
                     options.start == WalkStart::EXACT ? "exact" : "empty",
                     options.n_vars,
                     options.n_its,
                     options.n_samples,
                     seed,
                     threads,
                     std::chrono::duration<double>(Clock::now() - start).count(),
                     complete,
                     provenance,
                     edge_bound};
        const RunEnding ending =
            end_run(info, statistics, reference ? &*reference : nullptr,
                    RunEndingRequest{options.summary, outputs.json.has_value()},
                    ReferenceNote{reference_seconds, no_reference_reason});
        if (!ending.warning.empty()) {
            std::fputs(ending.warning.c_str(), stderr);
        }
        bool saved = sink.finish();
        if (outputs.samples) {
            // The samples finished, as the summary counts them, or none.
            saved = !outputs.samples->finish() && saved;  // a failure was said when it came
            outputs.samples.reset();
        }
        // Also after a stop, and whole, as long as the reader takes it.
        if (!ending.summary.empty() && !(output_failed && !stdout_taken)) {
            if (const int error = write_all(text_fd, ending.summary); error != 0) {
                std::fprintf(stderr, "pellimor: writing the summary to standard %s failed: %s\n",
                             stdout_taken ? "error" : "output", write_failure_text(error).c_str());
                saved = false;
            }
        }
        if (outputs.json) {
            auto error = outputs.json->write(ending.json);
            if (!error) {
                error = outputs.json->commit();
            }
            if (error) {
                std::fprintf(stderr, "pellimor: the JSON summary was not saved: %s\n",
                             error->c_str());
                saved = false;
            }
            outputs.json.reset();  // no temporary file outlives a failure
        }
        if (options.strict && ending.mixing && !ending.mixing->passed) {
            std::fprintf(stderr, "pellimor: --strict: the mixing check flagged the walks%s\n",
                         stopped_by == 0 ? "; ending with status 1" : "");
            saved = false;
        }
        return saved;
    };
    // A stopped run, once its workers have stopped (so that it has the CPUs
    // to itself): every line so far is whole in the results file; say what
    // the finished samples give, and leave without waiting for a worker
    // that may be deep in a long setup. Under MPI every rank must take part
    // in the end of the run, so a stop goes the ordinary way there.
    const std::function<void()> end_now = [&] {
        progress.erase();
        const bool saved = finish_run(false);
        end_run_now(exit_status(saved));
    };
    // The reference's draws may also end for their time budget, which is no
    // reason to end the run.
    const std::function<void()> end_now_if_stopped = [&] {
        if (stopped_by != 0 || output_failed) {
            end_now();
        }
    };
    auto run_samples = [&](const WorkerFactory& factory, SampleNumbering numbering,
                           const std::function<void(const SampleResult&)>& consume,
                           const std::function<bool(std::int64_t)>& poll,
                           const std::function<void()>& on_stop, const ClaimGate& gate = {}) {
#ifdef PELLIMOR_MPI
        if (distributed) {
            return distributed_run_in_order(factory, numbering, threads, consume, poll);
        }
#endif
        return run_in_order(factory, numbering, threads, consume, poll,
                            distributed ? nullptr : on_stop, stop_grace, gate);
    };
    // With --samples, workers claim samples only while the records waiting
    // for the writer leave room.
    ClaimGate record_room;
    if (records) {
        record_room = [&](std::uint64_t sample, const std::atomic<bool>& stop) {
            records->wait_for_room(sample, stop);
        };
    }
    const std::int64_t consumed = run_samples(
        workers, SampleNumbering{options.n_samples},
        [&](const SampleResult& result) {
            totals.add(result);
            statistics.add(result);
            if (records) {
                outputs.samples->write(records->take());
            }
            if (totals.samples % 100 == 0) {
                progress.erase();
                sink.report(totals);
                if (outputs.samples) {
                    outputs.samples->flush();
                }
            }
        },
        [&](std::int64_t done) {
            progress.update(done);
            return poll_stop();
        },
        end_now, record_room);
    progress.erase();
    // In a cluster run every rank takes the way rank 0's count gives: a rank
    // that went on to the mixing check alone would wait for the others for
    // ever. (A stop that reaches rank 0 after its last sample then ends the
    // mixing check's draws at once instead.)
    const bool complete = consumed == options.n_samples && (distributed || !poll_stop());
    bool ended_early = !complete;

    // A walk's mean line count, the one value of the mixing check without an
    // exact value, is checked against exact classes drawn from streams of
    // their own, far above the samples', in at most reference_time_share of
    // the time the walks took (measured on rank 0, which alone may end the
    // draws early: another rank that stopped on its own would fail the run).
    // (Decided from the options, which every rank of a cluster run shares:
    // only the reporting rank sees the samples.)
    if (!options.exact && complete && !mixing_skip_reason(options.n_its, options.n_samples)) {
        const auto reference_start = Clock::now();
        const auto budget = (reference_start - start) * reference_draw_share;
        // A walk bounded by edges: exact classes within its bound.
        std::optional<WorkerFactory> reference_workers;
        if (!bounded) {
            if (!tables && !build_tables(tables, options, distributed)) {
                return 1;
            }
            reference_workers = exact_workers(*tables, seed);
        } else if (options.n_vars <= max_edge_bounded_exact_vars) {
            reference_workers = sparse_exact_workers(sparse_setup(), seed);
        } else {
            no_reference_reason = "exact draws bounded by edges go up to n_vars = " +
                                  std::to_string(max_edge_bounded_exact_vars);
        }
        if (reference_workers) {
            reference.emplace();
            reference->edge_bound = statistics.edge_bound;
            const SampleNumbering numbering{reference_sample_count(options.n_samples),
                                            reference_first_sample, 1};
            const auto over_budget = [&] { return Clock::now() - reference_start > budget; };
            if (!distributed) {
                // In one process the classes are drawn here, one at a time,
                // so that the budget holds to a class: worker threads would
                // add their start and stop, a large part of a small budget.
                const SampleFunction draw = (*reference_workers)();
                const std::atomic<bool> never{false};
                for (std::int64_t i = 0; i < numbering.count && !poll_stop() && !over_budget();
                     ++i) {
                    SampleResult result;
                    draw(numbering.first + static_cast<std::uint64_t>(i), result, never);
                    reference->add(result);
                }
            } else {
                // The ranks of a cluster must all take part; rank 0 alone
                // may end the draws (another rank that stopped on its own
                // would fail the run).
                run_samples(
                    *reference_workers, numbering,
                    [&](const SampleResult& result) { reference->add(result); },
                    [&](std::int64_t) { return poll_stop() || (reporting_rank && over_budget()); },
                    end_now_if_stopped);
            }
            reference_seconds =
                std::chrono::duration<double>(Clock::now() - reference_start).count();
            if (poll_stop()) {
                reference.reset();
                ended_early = true;
            } else if (reference->samples < mixing_min_samples) {
                reference.reset();
                no_reference_reason = reference_too_costly();
            }
        }
    }

    if (!reporting_rank) {
        // Rank 0 says why a run it ended early failed.
        return stopped_by != 0 ? 128 + stopped_by : ended_early ? 1 : 0;
    }
    return exit_status(finish_run(!ended_early));
}

}  // namespace pellimor
