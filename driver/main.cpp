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
#include "driver/sample_loop.hpp"

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
        return pellimor::run_estimation(options, start);
    } catch (const std::bad_alloc&) {
        const double gib = 4.5 * options.n_vars * static_cast<double>(options.n_vars) / (1 << 30);
        std::fprintf(stderr,
                     "pellimor: not enough memory for graphs on n_vars = %d vertices (about %.1f "
                     "GiB per worker thread); choose a smaller n_vars or fewer --threads\n",
                     options.n_vars, gib);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "pellimor: the run failed: %s\n", error.what());
    }
    return 1;
}
