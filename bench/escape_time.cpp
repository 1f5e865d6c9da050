// How long a walk from the empty graph stays trapped: for each of a number
// of walks, the moves until its graph first has no line (a state the
// stationary walk visits more than a quarter of the time), checked every
// `step` moves, up to `limit` moves.
//
//   escape_time n_vars walks limit [step] [seed]
//
// Prints the median, the 90th and 99th percentiles and the walks that never
// escaped within the limit.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "graph/matrix_queries.hpp"
#include "sampler/random.hpp"
#include "sampler/random_walk.hpp"
#include "sampler/sample_run.hpp"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: escape_time n_vars walks limit [step] [seed]\n");
        return 2;
    }
    const int n = std::atoi(argv[1]);
    const int walks = std::atoi(argv[2]);
    const long long limit = std::atoll(argv[3]);
    const int step = argc > 4 ? std::atoi(argv[4]) : 1000;
    const unsigned long long seed = argc > 5 ? std::strtoull(argv[5], nullptr, 10) : 1;
    std::vector<long long> escapes;
    int trapped = 0;
    for (int w = 1; w <= walks; ++w) {
        auto rng = pellimor::sample_stream(seed, static_cast<std::uint64_t>(w));
        pellimor::EdgeMatrix m(n);
        pellimor::MoveCounts counts;
        long long moves = 0;
        bool escaped = false;
        // The first step leaves the empty graph, which has no line either.
        while (moves < limit) {
            pellimor::run_walk(m, rng, step, false, counts);
            moves += step;
            if (pellimor::count_lines(m) == 0) {
                escaped = true;
                break;
            }
        }
        if (escaped) {
            escapes.push_back(moves);
        } else {
            ++trapped;
        }
    }
    std::sort(escapes.begin(), escapes.end());
    auto quantile = [&](double q) -> long long {
        // Walks still trapped at the limit count as the longest.
        const auto k = static_cast<std::size_t>(q * (walks - 1));
        return k < escapes.size() ? escapes[k] : -1;
    };
    std::printf("n_vars %d, %d walks, limit %lld, step %d: median %lld, 90%% %lld, 99%% %lld, "
                "%d still trapped at the limit (-1: beyond the limit)\n",
                n, walks, limit, step, quantile(0.5), quantile(0.9), quantile(0.99), trapped);
    return 0;
}
