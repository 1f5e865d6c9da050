#include "driver/sample_loop.hpp"

#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>

#include "driver/progress.hpp"
#include "driver/report.hpp"
#include "driver/stop_signals.hpp"
#include "sampler/random.hpp"
#include "sampler/sample_methods.hpp"
#include "sampler/sample_scheduler.hpp"

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

    ReportSink(std::string file_name, LineFormat format, Clock::time_point start)
        : file_name_(std::move(file_name)), format_(format), start_(start) {}

    void report(const RunningTotals& totals) {
        const std::string screen_line = format_(totals, hours_since(start_));
        if (write_all(STDOUT_FILENO, screen_line) != 0) {
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
            std::fprintf(stderr, "pellimor: writing report lines to standard output failed\n");
        }
        return lines_lost_ == 0 && !stdout_failed_;
    }

  private:
    std::string file_name_;
    LineFormat format_;
    Clock::time_point start_;
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
    const std::uint64_t seed = options.seed.value_or(fresh_run_seed());
    const int threads = options.threads.value_or(usable_cpu_count());

    install_stop_signals();
    // The exact method's tables, also used by walks that start from exact
    // draws; built once and shared read-only by every worker.
    std::optional<DagCounts> tables;
    if (options.exact || options.start == WalkStart::EXACT) {
        tables.emplace(options.n_vars);
    }
    const WorkerFactory workers =
        options.exact ? exact_workers(*tables, seed)
                      : walk_workers(settings, seed, tables ? &*tables : nullptr);
    ReportSink sink(options.exact ? exact_results_file_name(options.n_vars)
                                  : results_file_name(options.n_vars),
                    options.exact ? format_exact_report_line : format_report_line, start);
    ProgressLine progress(::isatty(STDERR_FILENO) == 1, stderr, options.n_samples, seed, start);
    RunningTotals totals;
    run_in_order(
        workers, SampleNumbering{options.n_samples}, threads,
        [&](const SampleResult& result) {
            totals.add(result);
            if (totals.samples % 100 == 0) {
                progress.erase();
                sink.report(totals);
            }
        },
        [&](std::int64_t done) {
            progress.update(done);
            if (const int signal_number = stop_signal(); signal_number != 0) {
                progress.erase();
                end_stopped_run(signal_number);  // every line so far is whole
            }
            return false;
        });
    if (const int signal_number = stop_signal(); signal_number != 0) {
        progress.erase();
        return 128 + signal_number;
    }
    progress.erase();
    return sink.finish() ? 0 : 1;
}

}  // namespace pellimor
