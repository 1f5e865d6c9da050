// pellimor: Monte-Carlo estimates over essential graphs by random walks.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <new>
#include <span>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "driver/canonical_arguments.hpp"
#include "driver/command_line.hpp"
#include "driver/memory_budget.hpp"
#include "driver/rank_agreement.hpp"
#include "driver/sample_loop.hpp"
#include "sampler/sample_scheduler.hpp"

#ifdef PELLIMOR_MPI
#include "cluster/mpi_session.hpp"
#endif

int main(int argc, char** argv) {
    const auto start = std::chrono::steady_clock::now();
#ifdef PELLIMOR_MPI
    const pellimor::MpiSession cluster(argc, argv);
#endif
    // Only rank 0 of an MPI run prints errors, help and the run seed.
    const bool speaks = pellimor::speaks_for_run();
    pellimor::Options options;
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    try {
        // Each rank checks its own command line and memory; rank 0 decides
        // for all of them, so that no rank starts, or waits, alone.
        pellimor::RankCheck check;
        try {
            options = pellimor::parse_command_line(args);
            check.settings = pellimor::shared_arguments(options);
            const int threads = options.threads.value_or(pellimor::usable_cpu_count());
            if (const auto shortage =
                    options.help
                        ? std::nullopt
                        : pellimor::memory_shortage(options, threads, pellimor::memory_limits())) {
                check.status = 1;
                check.message = *shortage;
            }
        } catch (const pellimor::UsageError& error) {
            check.status = 2;
            check.message = error.what();
        }
        const pellimor::Verdict verdict = pellimor::agree_across_ranks(check);
        if (verdict.status != 0) {
            const bool exact = std::find(args.begin(), args.end(), "--exact") != args.end();
            pellimor::print_verdict(check, verdict,
                                    check.status != 2 ? std::string_view()
                                    : exact           ? pellimor::exact_usage_line
                                                      : pellimor::usage_line);
            return verdict.status;
        }
        if (options.help) {
            if (!speaks) {
                return 0;
            }
            std::fputs(pellimor::help_text().c_str(), stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
        std::uint64_t seed = options.seed.value_or(0);
        if (!options.seed && speaks) {
            // Shown before anything else, wherever standard error goes, so
            // that every run can be repeated.
            seed = pellimor::fresh_run_seed();
            std::fprintf(stderr, "pellimor: run seed %llu (repeat with --seed %llu)\n",
                         static_cast<unsigned long long>(seed),
                         static_cast<unsigned long long>(seed));
        }
        options.seed = pellimor::seed_of_rank_0(seed);
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
