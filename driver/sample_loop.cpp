#include "driver/sample_loop.hpp"

#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>

#include "driver/progress.hpp"
#include "driver/report.hpp"
#include "driver/samples_file.hpp"
#include "driver/stop_signals.hpp"
#include "sampler/random.hpp"
#include "sampler/record_queue.hpp"
#include "sampler/sample_methods.hpp"
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

    ReportSink(std::string file_name, LineFormat format, Clock::time_point start, int screen_fd)
        : file_name_(std::move(file_name)), format_(format), start_(start), screen_fd_(screen_fd) {}

    void report(const RunningTotals& totals) {
        const std::string screen_line = format_(totals, hours_since(start_));
        if (write_all(screen_fd_, screen_line) != 0) {
            stdout_failed_ = true;
        }
        ++lines_;
        const std::string file_line = format_(totals, hours_since(start_));
        if (const auto failure = append_line(file_name_, file_line)) {
            if (lines_lost_ == 0) {
                std::fprintf(stderr,
                             "pellimor: warning: cannot append to results file '%s': %s; "
                             "the run goes on and will end with status 1\n",
                             file_name_.c_str(), failure->c_str());
            }
            ++lines_lost_;
        }
    }

    // Says what was lost, on standard error; true when nothing was.
    bool finish() const {
        if (lines_lost_ > 0) {
            std::fprintf(stderr, "pellimor: %d of %d report lines were not saved to '%s'\n",
                         lines_lost_, lines_, file_name_.c_str());
        }
        if (stdout_failed_) {
            std::fprintf(stderr, "pellimor: writing report lines to standard %s failed\n",
                         screen_fd_ == STDOUT_FILENO ? "output" : "error");
        }
        return lines_lost_ == 0 && !stdout_failed_;
    }

  private:
    std::string file_name_;
    LineFormat format_;
    Clock::time_point start_;
    int screen_fd_;
    int lines_ = 0;
    int lines_lost_ = 0;
    bool stdout_failed_ = false;
};

}  // namespace

std::uint64_t fresh_run_seed() {
    const auto now = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    const auto pid = static_cast<std::uint64_t>(::getpid());
    return SplitMix64::mix(static_cast<std::uint64_t>(now) ^ SplitMix64::mix(pid));
}

int run_estimation(const Options& options, Clock::time_point start) {
    const Settings settings{options.n_vars, options.n_its, options.full_check};
    std::uint64_t seed = options.seed.value_or(fresh_run_seed());
    auto run_samples = run_in_order;
    bool reporting_rank = true;
#ifdef PELLIMOR_MPI
    // Under mpirun: rank 0's seed for every rank, the samples spread over
    // the ranks, and rank 0 alone reports.
    if (const MpiSession* cluster = MpiSession::current(); cluster && cluster->size() > 1) {
        seed = cluster->broadcast_seed(seed);
        run_samples = distributed_run_in_order;
        reporting_rank = cluster->rank() == 0;
    }
#endif
    const int threads = options.threads.value_or(usable_cpu_count());

    // --samples: each sample's record, written in sample order. With "-"
    // the records take standard output, and everything else a run prints
    // there goes to standard error.
    std::optional<SamplesFile> samples_file;
    std::optional<RecordQueue> records;
    if (options.samples) {
        if (!reporting_rank || run_samples != run_in_order) {
            std::fprintf(stderr,
                         "pellimor: --samples needs a run of one process; run it without "
                         "mpirun or with -np 1\n");
            return 1;
        }
        samples_file.emplace(*options.samples);
        if (const auto failure = samples_file->open()) {
            std::fprintf(stderr, "pellimor: cannot write the samples: %s\n", failure->c_str());
            return 1;
        }
        records.emplace();
    }
    const bool stdout_taken = samples_file && samples_file->to_standard_output();
    FILE* const text_out = stdout_taken ? stderr : stdout;
    const SampleExtras extras{options.stats || options.samples.has_value(),
                              records ? &*records : nullptr};

    install_stop_signals();
    // The exact method's tables, also used by walks that start from exact
    // draws; built once and shared read-only by every worker.
    std::optional<DagCounts> tables;
    if (options.exact || options.start == WalkStart::EXACT) {
        tables.emplace(options.n_vars);
    }
    const WorkerFactory workers =
        options.exact ? exact_workers(*tables, seed, extras)
                      : walk_workers(settings, seed, tables ? &*tables : nullptr, extras);
    ReportSink sink(options.exact ? exact_results_file_name(options.n_vars)
                                  : results_file_name(options.n_vars),
                    options.exact ? format_exact_report_line : format_report_line, start,
                    stdout_taken ? STDERR_FILENO : STDOUT_FILENO);
    ProgressLine progress(reporting_rank && ::isatty(STDERR_FILENO) == 1, stderr,
                          options.n_samples, seed, start);
    RunningTotals totals;
    RunStatistics statistics;
    int stopped_by = 0;
    auto poll_stop = [&] {
        stopped_by = stop_signal();
        return stopped_by != 0;
    };
    // The end of a run: the mixing check's warning, the summary and the JSON,
    // from every finished sample. True when everything was saved.
    std::optional<RunStatistics> reference;
    auto finish_run = [&](bool complete) {
        const RunInfo info{options.exact ? METHOD_EXACT : METHOD_WALK,
                           options.start == WalkStart::EXACT ? "exact" : "empty",
                           options.n_vars,
                           options.n_its,
                           options.n_samples,
                           seed,
                           threads,
                           std::chrono::duration<double>(Clock::now() - start).count(),
                           complete};
        const RunEnding ending = end_run(info, statistics, reference ? &*reference : nullptr,
                                         RunEndingRequest{options.summary, options.json});
        if (!ending.warning.empty()) {
            std::fputs(ending.warning.c_str(), stderr);
        }
        bool saved = sink.finish();
        if (samples_file && samples_file->finish()) {
            saved = false;  // said when it happened
        }
        if (!ending.summary.empty() && (std::fputs(ending.summary.c_str(), text_out) == EOF ||
                                        std::fflush(text_out) == EOF)) {
            std::fprintf(stderr, "pellimor: writing the summary to standard %s failed\n",
                         stdout_taken ? "error" : "output");
            saved = false;
        }
        if (ending.json_error) {
            std::fprintf(stderr, "pellimor: cannot write the JSON summary to '%s': %s\n",
                         options.json->c_str(), ending.json_error->c_str());
            saved = false;
        }
        return saved;
    };
    // Under MPI every rank must take part in the end of the run, so a stop
    // goes the ordinary way there.
    bool quick_stop = reporting_rank;
#ifdef PELLIMOR_MPI
    if (const MpiSession* cluster = MpiSession::current(); cluster && cluster->size() > 1) {
        quick_stop = false;
    }
#endif
    run_samples(
        workers, SampleNumbering{options.n_samples}, threads,
        [&](const SampleResult& result) {
            totals.add(result);
            statistics.add(result);
            if (samples_file) {
                samples_file->write(records->take());
            }
            if (totals.samples % 100 == 0) {
                progress.erase();
                sink.report(totals);
                if (samples_file) {
                    samples_file->flush();
                }
            }
        },
        [&](std::int64_t done) {
            progress.update(done);
            if (poll_stop() && quick_stop) {
                // Every line so far is whole in the results file: say what
                // the finished samples give, and leave without waiting for
                // workers that may be deep in a long setup.
                progress.erase();
                finish_run(false);
                end_stopped_run(stopped_by);
            }
            return stopped_by != 0;
        });
    progress.erase();
    const bool complete = stopped_by == 0;

    // A walk is checked against exact classes drawn from streams of their
    // own, far above the samples' (a walk trapped alike in both of its halves
    // passes the half-walk comparison).
    // (Decided from the options, which every rank of a cluster run shares:
    // only the reporting rank sees the samples.)
    if (!options.exact && complete && !mixing_skip_reason(options.n_its, options.n_samples)) {
        if (!tables) {
            tables.emplace(options.n_vars);
        }
        reference.emplace();
        const SampleNumbering numbering{reference_sample_count(options.n_samples),
                                        reference_first_sample, 1};
        run_samples(
            exact_workers(*tables, seed), numbering, threads,
            [&](const SampleResult& result) { reference->add(result); },
            [&](std::int64_t) { return poll_stop(); });
        if (stopped_by != 0) {
            reference.reset();
        }
    }

    if (!reporting_rank) {
        return stopped_by != 0 ? 128 + stopped_by : 0;
    }
    const bool saved = finish_run(complete);
    if (stopped_by != 0) {
        return 128 + stopped_by;
    }
    return saved ? 0 : 1;
}

}  // namespace pellimor
