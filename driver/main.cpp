// pellimor: Monte-Carlo estimates over essential graphs by random walks.

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <new>
#include <span>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <vector>

#include "counts/gmp_memory.hpp"
#include "driver/canonical_arguments.hpp"
#include "driver/class_mode.hpp"
#include "driver/command_line.hpp"
#include "driver/count_mode.hpp"
#include "driver/memory_budget.hpp"
#include "driver/options_request.hpp"
#include "driver/rank_agreement.hpp"
#include "driver/run_outputs.hpp"
#include "driver/sample_loop.hpp"
#include "driver/stop_signals.hpp"
#include "driver/version.hpp"

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

// The message for GMP running out of memory, made while there is memory.
std::string gmp_failure_message = "pellimor: not enough memory for the exact counts\n";

// Set by the first thread that reports running out of memory. The counts
// are made by two threads at once, and both can run out together: only the
// first says so; any other waits for it to end the run.
std::atomic_flag out_of_memory_said;

void wait_for_the_first_report() {
    for (;;) {
        ::pause();
    }
}

// GMP cannot hand a failed allocation back, so the run ends here, as for a
// std::bad_alloc: a message and status 1, with no temporary file left.
void gmp_out_of_memory(std::size_t) {
    if (out_of_memory_said.test_and_set()) {
        wait_for_the_first_report();
    }
    std::fputs(gmp_failure_message.c_str(), stderr);
    pellimor::end_run_now(1);
}

}  // namespace

int main(int argc, char** argv) {
    const auto start = std::chrono::steady_clock::now();
    const auto started_at = std::chrono::system_clock::now();
    pellimor::on_gmp_memory_failure(gmp_out_of_memory);
#ifdef PELLIMOR_MPI
    const pellimor::MpiSession cluster(argc, argv);
#endif
    // Only rank 0 of an MPI run prints errors, help and the run seed, and
    // writes the outputs.
    const bool speaks = pellimor::speaks_for_run();
    pellimor::Options options;
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    const bool asks_help = std::find(args.begin(), args.end(), "--help") != args.end() ||
                           std::find(args.begin(), args.end(), "-h") != args.end() ||
                           std::find(args.begin(), args.end(), "--version") != args.end();
    if (pellimor::is_class_command(args) && !asks_help) {
        // A user's own graph: one process does it all.
        if (!speaks) {
            return 0;
        }
        pellimor::ClassOptions class_options;
        try {
            class_options = pellimor::parse_class_command_line(args);
        } catch (const pellimor::UsageError& error) {
            std::fprintf(stderr, "pellimor: %s\n", error.what());
            std::fputs(std::string(pellimor::class_usage_line).c_str(), stderr);
            return 2;
        }
        gmp_failure_message = "pellimor: not enough memory for the exact class size\n";
        return pellimor::run_class_mode(
            class_options, pellimor::Provenance{std::string(pellimor::version()),
                                                pellimor::shell_quoted(std::span(argv, argc)),
                                                utc_timestamp(started_at)});
    }
    pellimor::RunOutputs outputs;
    // The sampling run the command line asks for (none for --count).
    std::optional<pellimor::RunRequest> request;
    try {
        // Each rank checks its own command line and memory, and rank 0 its
        // outputs; rank 0 decides for all of them, so that no rank starts,
        // or waits, alone.
        pellimor::RankCheck check;
        std::string_view usage;  // after a command line that cannot be read
        try {
            options = pellimor::parse_command_line(args);
            gmp_failure_message =
                "pellimor: " + pellimor::counts_out_of_memory(options.n_vars) + "\n";
            check.settings = pellimor::shared_arguments(options);
            // Every rank finds this alike, so that all of them end at once.
            if (options.samples && pellimor::processes_in_run() > 1) {
                throw pellimor::UsageError(
                    "--samples needs a run of one process; run it without mpirun or with -np 1");
            }
            if (!options.help && !options.version) {
                if (!options.count) {
                    request = pellimor::request_of(options);
                }
                if (speaks) {
                    // Before the run, so that an output it could not write
                    // is known before any time is spent.
                    outputs = pellimor::prepare_outputs(options, request ? &*request : nullptr);
                }
                if (const auto shortage =
                        request ? pellimor::memory_shortage(*request, pellimor::memory_limits())
                                : std::nullopt) {
                    check.status = 1;
                    check.message = *shortage;
                }
            }
        } catch (const pellimor::UsageError& error) {
            check.status = 2;
            check.message = error.what();
            if (check.settings.empty()) {
                usage = error.usage();  // the command line itself could not be read
            }
        } catch (const pellimor::OutputError& error) {
            check.status = 1;
            check.message = error.what();
        }
        const pellimor::Verdict verdict = pellimor::agree_across_ranks(check);
        if (verdict.status != 0) {
            pellimor::print_verdict(check, verdict, usage);
            return verdict.status;
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
        if (options.count) {
            // Every rank of a cluster run computes nothing but rank 0's table.
            if (!speaks) {
                return 0;
            }
            try {
                return pellimor::run_count(options, outputs, provenance);
            } catch (const std::bad_alloc&) {
                if (out_of_memory_said.test_and_set()) {
                    wait_for_the_first_report();
                }
                std::fprintf(stderr, "pellimor: %s\n",
                             pellimor::counts_out_of_memory(options.n_vars).c_str());
            }
            return 1;
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
        request->seed = *options.seed;
        return pellimor::run_estimation(options, *request, outputs, provenance, start);
    } catch (const std::bad_alloc&) {
        // What the check above could not foresee.
        const double per_worker = request ? pellimor::memory_needed(*request).per_worker : 0;
        std::fprintf(stderr, "pellimor: %s\n",
                     pellimor::not_enough_memory(options.n_vars, per_worker).c_str());
    } catch (const std::system_error& error) {
        // A thread the system would not start, beyond what the check saw.
        std::fprintf(stderr, "pellimor: the run failed: %s%s\n", error.what(),
                     error.code() == std::errc::resource_unavailable_try_again
                         ? "; try fewer --threads"
                         : "");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "pellimor: the run failed: %s\n", error.what());
    }
    return 1;
}
