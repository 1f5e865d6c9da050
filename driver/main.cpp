// pellimor: Monte-Carlo estimates over essential graphs by random walks.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <new>
#include <span>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "driver/command_line.hpp"
#include "driver/memory_budget.hpp"
#include "driver/run_outputs.hpp"
#include "driver/sample_loop.hpp"
#include "driver/version.hpp"
#include "sampler/sample_scheduler.hpp"

#ifdef PELLIMOR_MPI
#include "cluster/mpi_session.hpp"
#endif

namespace {

// "2026-12-09T09:27:59Z".
std::string utc_timestamp(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const auto start = std::chrono::steady_clock::now();
    const auto started_at = std::chrono::system_clock::now();
    bool speaks = true;  // only rank 0 of an MPI run prints usage errors and help
#ifdef PELLIMOR_MPI
    const pellimor::MpiSession cluster(argc, argv);
    speaks = cluster.rank() == 0;
#endif
    pellimor::Options options;
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    pellimor::RunOutputs outputs;
    try {
        options = pellimor::parse_command_line(args);
        if (!options.help && !options.version && speaks) {
            // Before the run, so that an output it could not write is
            // known before any time is spent.
            outputs = pellimor::prepare_outputs(options);
        }
    } catch (const pellimor::UsageError& error) {
        if (!speaks) {
            return 2;
        }
        std::fprintf(stderr, "pellimor: %s\n", error.what());
        const bool exact = std::find(args.begin(), args.end(), "--exact") != args.end();
        std::fputs((exact ? pellimor::exact_usage_line : pellimor::usage_line).data(), stderr);
        return 2;
    } catch (const pellimor::OutputError& error) {
        std::fprintf(stderr, "pellimor: %s\n", error.what());
        return 1;
    }
    if (options.help || options.version) {
        if (!speaks) {
            return 0;
        }
        const std::string text = options.help
                                     ? pellimor::help_text()
                                     : "pellimor " + std::string(pellimor::version()) + "\n";
        std::fputs(text.c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    const pellimor::Provenance provenance{std::string(pellimor::version()),
                                          pellimor::shell_quoted(std::span(argv, argc)),
                                          utc_timestamp(started_at)};
    try {
        const int threads = options.threads.value_or(pellimor::usable_cpu_count());
        if (const auto shortage =
                pellimor::memory_shortage(options, threads, pellimor::memory_limits())) {
            std::fprintf(stderr, "pellimor: %s\n", shortage->c_str());
            return 1;
        }
        if (!options.seed) {
            // Shown before anything else, wherever standard error goes, so
            // that every run can be repeated.
            options.seed = pellimor::fresh_run_seed();
            std::fprintf(stderr, "pellimor: run seed %llu (repeat with --seed %llu)\n",
                         static_cast<unsigned long long>(*options.seed),
                         static_cast<unsigned long long>(*options.seed));
        }
        return pellimor::run_estimation(options, outputs, provenance, start);
    } catch (const std::bad_alloc&) {
        // What the check above could not foresee.
        const double per_worker = pellimor::memory_needed(options, 1).per_worker;
        std::fprintf(stderr, "pellimor: %s\n",
                     pellimor::not_enough_memory(options.n_vars, per_worker).c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "pellimor: the run failed: %s\n", error.what());
    }
    return 1;
}
