#include "sampler/sample_run.hpp"

#include <vector>

#include "sampler/random.hpp"
#include "sampler/random_walk.hpp"

namespace pellimor {

bool has_no_lines(const EdgeMatrix& m) {
    const int n = m.size();
    for (int i = 0; i + 1 < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            if (m[i][j] == EDGE_LINE) {
                return false;
            }
        }
    }
    return true;
}

std::int64_t count_lines(const EdgeMatrix& m) {
    const int n = m.size();
    std::int64_t lines = 0;
    for (int i = 0; i + 1 < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            lines += m[i][j] == EDGE_LINE ? 1 : 0;
        }
    }
    return lines;
}

std::int64_t count_edges(const EdgeMatrix& m) {
    const int n = m.size();
    std::int64_t edges = 0;
    for (int i = 0; i + 1 < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            edges += adjacent(m, i, j) ? 1 : 0;
        }
    }
    return edges;
}

bool is_connected(const EdgeMatrix& m) {
    const int n = m.size();
    if (n <= 1) {
        return true;
    }
    // Grow a marked set from vertex 0 by sweeps over all pairs until a sweep
    // marks nothing; marks made during a sweep count for the rest of it.
    std::vector<char> marked(n, 0);
    marked[0] = 1;
    int count = 1;
    for (bool grew = true; grew;) {
        grew = false;
        for (int a = 0; a + 1 < n; ++a) {
            for (int b = a + 1; b < n; ++b) {
                if (marked[a] != marked[b] && adjacent(m, a, b)) {
                    marked[a] = marked[b] = 1;
                    ++count;
                    grew = true;
                }
            }
        }
    }
    return count >= n;
}

SampleResult walk_sample(const Settings& settings, EdgeMatrix& m, Xoshiro256StarStar& rng,
                         const std::atomic<bool>* stop) {
    MoveCounts counts;
    WalkMidpoint half;
    SampleResult result;
    if (!run_walk(m, rng, settings.n_its, settings.full_check, counts, stop, &half,
                  settings.max_edges)) {
        return result;
    }
    // With n_its = 0 every rate is 0/0, which is not a number, as reported.
    const double n_its = settings.n_its;
    for (int k = 0; k < move_kind_count; ++k) {
        result.rates[k] = static_cast<double>(counts.kept[k]) / n_its;
    }
    result.lines = count_lines(m);
    result.no_lines = result.lines == 0 ? 1 : 0;
    result.connected = is_connected(m) ? 1 : 0;
    result.half_no_lines = half.no_lines ? 1 : 0;
    result.half_lines = half.lines;
    return result;
}

SampleResult run_sample(const Settings& settings, std::uint64_t run_seed,
                        std::uint64_t sample_number, const std::atomic<bool>* stop) {
    auto rng = sample_stream(run_seed, sample_number);
    EdgeMatrix m(settings.n_vars);
    return walk_sample(settings, m, rng, stop);
}

}  // namespace pellimor
