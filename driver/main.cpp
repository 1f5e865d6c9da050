// pellimor: Monte-Carlo estimates over essential graphs by random walks.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <new>
#include <span>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "driver/command_line.hpp"
#include "driver/memory_budget.hpp"
#include "driver/sample_loop.hpp"
#include "sampler/sample_scheduler.hpp"

#ifdef PELLIMOR_MPI
#include "cluster/mpi_session.hpp"
#endif

int main(int argc, char** argv) {
    const auto start = std::chrono::steady_clock::now();
    bool speaks = true;  // only rank 0 of an MPI run prints usage errors and help
#ifdef PELLIMOR_MPI
    const pellimor::MpiSession cluster(argc, argv);
    speaks = cluster.rank() == 0;
#endif
    pellimor::Options options;
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    try {
        options = pellimor::parse_command_line(args);
    } catch (const pellimor::UsageError& error) {
        if (!speaks) {
            return 2;
        }
        std::fprintf(stderr, "pellimor: %s\n", error.what());
        const bool exact = std::find(args.begin(), args.end(), "--exact") != args.end();
        std::fputs((exact ? pellimor::exact_usage_line : pellimor::usage_line).data(), stderr);
        return 2;
    }
    if (options.help) {
        if (!speaks) {
            return 0;
        }
        std::fputs(pellimor::help_text().c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
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
        return pellimor::run_estimation(options, start);
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
