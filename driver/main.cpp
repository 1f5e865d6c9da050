// pellimor: Monte-Carlo estimates over essential graphs by random walks.

#include <chrono>
#include <cstdio>
#include <ctime>
#include <new>
#include <span>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <vector>

#include "driver/canonical_arguments.hpp"
#include "driver/command_line.hpp"
#include "driver/count_mode.hpp"
#include "driver/memory_budget.hpp"
#include "driver/options_request.hpp"
#include "driver/rank_agreement.hpp"
#include "driver/run_outputs.hpp"
#include "driver/sample_loop.hpp"
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

}  // namespace

int main(int argc, char** argv) {
    const auto start = std::chrono::steady_clock::now();
    const auto started_at = std::chrono::system_clock::now();
#ifdef PELLIMOR_MPI
    const pellimor::MpiSession cluster(argc, argv);
#endif
    // Only rank 0 of an MPI run prints errors, help and the run seed, and
    // writes the outputs.
    const bool speaks = pellimor::speaks_for_run();
    pellimor::Options options;
    const std::vector<std::string_view> args(argv + 1, argv + argc);
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
            check.settings = pellimor::shared_arguments(options);
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
                std::fprintf(stderr,
                             "pellimor: not enough memory for the counts up to n_vars = %d\n",
                             options.n_vars);
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
