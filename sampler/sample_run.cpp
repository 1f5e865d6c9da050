#include "sampler/sample_run.hpp"

#include "graph/matrix_queries.hpp"
#include "sampler/random.hpp"
#include "sampler/random_walk.hpp"

namespace pellimor {

SampleResult walk_sample(const Settings& settings, EdgeMatrix& m, Xoshiro256StarStar& rng,
                         const std::atomic<bool>* stop, WalkScratch* scratch) {
    MoveCounts counts;
    WalkMidpoint half;
    SampleResult result;
    if (!run_walk(m, rng, settings.n_its, settings.full_check, counts, stop, &half,
                  settings.edge_bound, scratch)) {
        return result;
    }
    // With n_its = 0 every rate is 0/0, which is not a number, as reported.
    const double n_its = settings.n_its;
    for (int k = 0; k < move_kind_count; ++k) {
        result.rates[k] = static_cast<double>(counts.kept[k]) / n_its;
    }
    result.lines = count_lines(m);
    result.no_lines = result.lines == 0 ? 1 : 0;
    result.connected =
        (scratch != nullptr ? is_connected(m, scratch->marked) : is_connected(m)) ? 1 : 0;
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
