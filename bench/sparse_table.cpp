// One row of the table of sparse classes in docs/sparse.md: classes with E =
// round(D n / 2) edges drawn by the exact method, or with at most E edges by
// the limited walk, and per class its lines, its size and its largest chain
// component (connected component of the lines).
//
//   sparse_table exact N DEGREE SAMPLES SEED
//   sparse_table walk N DEGREE SAMPLES SEED N_ITS
//
// One thread. The walk's row ends with its mixing check: its halves, and the
// exact reference within the bound where drawing 1000 of them is expected to
// take at most a minute.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "graph/class_size.hpp"
#include "graph/class_statistics.hpp"
#include "sampler/random_walk.hpp"
#include "sampler/sparse_exact_sampler.hpp"
#include "stats/edge_bound_exact.hpp"
#include "stats/mixing_check.hpp"
#include "stats/run_statistics.hpp"

namespace pellimor {
namespace {

// The class size and the largest chain component of the essential graph m.
struct ClassShape {
    double size = 1;
    int largest_component = 0;
};

ClassShape shape_of(const EdgeMatrix& m, ClassSizeCounter& counter, std::vector<Word>& rows) {
    const int n = m.size();
    const int words = words_for(n);
    std::fill(rows.begin(), rows.end(), Word{0});
    for (int a = 0; a < n; ++a) {
        for (int b = 0; b < n; ++b) {
            if (m[a][b] == EDGE_LINE) {
                set_bit(rows.data() + static_cast<std::size_t>(a) * words, b);
            }
        }
    }
    ClassShape shape;
    shape.size = counter.count_orientations(rows.data());
    std::vector<int> seen(n, 0);
    std::vector<int> stack;
    for (int start = 0; start < n; ++start) {
        if (seen[start] != 0) {
            continue;
        }
        int size = 0;
        stack.assign(1, start);
        seen[start] = 1;
        while (!stack.empty()) {
            const int v = stack.back();
            stack.pop_back();
            ++size;
            for (int u = 0; u < n; ++u) {
                if (m[v][u] == EDGE_LINE && seen[u] == 0) {
                    seen[u] = 1;
                    stack.push_back(u);
                }
            }
        }
        // Every vertex is in a chain component: without lines the largest has 1.
        shape.largest_component = std::max(shape.largest_component, size);
    }
    return shape;
}

int run(int argc, char** argv) {
    if (argc < 6 || (std::string(argv[1]) == "walk" && argc < 7)) {
        std::fprintf(stderr, "usage: sparse_table exact|walk N DEGREE SAMPLES SEED [N_ITS]\n");
        return 2;
    }
    const bool walk = std::string(argv[1]) == "walk";
    const int n = std::atoi(argv[2]);
    const double degree = std::atof(argv[3]);
    const int samples = std::atoi(argv[4]);
    const auto seed = static_cast<std::uint64_t>(std::atoll(argv[5]));
    const int n_its = walk ? std::atoi(argv[6]) : 0;
    const auto edges = static_cast<std::int64_t>(std::llround(degree * n / 2));

    const auto start = std::chrono::steady_clock::now();
    std::vector<double> log10_sizes;
    RunStatistics statistics;
    const EdgeBound bound = walk ? EdgeBound::at_most(edges) : EdgeBound::exactly(edges);
    statistics.edge_bound = bound;
    std::int64_t dags = 0;
    std::int64_t size_one = 0;
    double largest_sum = 0;
    int largest_max = 0;
    ClassSizeCounter counter(n);
    ClassStatisticsCounter classes(n);
    std::vector<Word> rows(static_cast<std::size_t>(n) * words_for(n));
    EdgeMatrix m(n);
    std::optional<SparseSetup> setup;
    if (!walk) {
        setup = make_sparse_setup(n, EdgeBound::exactly(edges));
    }
    std::optional<SparseExactSampler> sampler;
    if (setup) {
        sampler.emplace(*setup);
    }
    const Settings settings{n, n_its, false, bound};
    for (int i = 1; i <= samples; ++i) {
        auto rng = sample_stream(seed, static_cast<std::uint64_t>(i));
        SampleResult r;
        if (walk) {
            m = EdgeMatrix(n);
            r = walk_sample(settings, m, rng);
            // What the engine adds to a walk's result: the class statistics
            // that the mixing check compares (its edges).
            classes.of_matrix(m, counter, false, r.classes);
        } else {
            sampler->draw_class(rng, r);
            sampler->kept_essential_graph(rng, m);
            dags += r.dags_drawn;
        }
        statistics.add(r);
        const ClassShape shape = shape_of(m, counter, rows);
        log10_sizes.push_back(std::log10(shape.size));
        size_one += shape.size == 1 ? 1 : 0;
        largest_sum += shape.largest_component;
        largest_max = std::max(largest_max, shape.largest_component);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::sort(log10_sizes.begin(), log10_sizes.end());
    const double p = static_cast<double>(statistics.no_lines_count) / samples;
    std::string verdict = "";
    if (walk) {
        std::optional<RunStatistics> reference;
        if (n <= 500) {
            const SparseSetup at_most = make_sparse_setup(n, EdgeBound::at_most(edges));
            SparseExactSampler exact(at_most);
            auto rng = sample_stream(seed, std::uint64_t{1} << 63);
            const auto pilot_start = std::chrono::steady_clock::now();
            const auto pilot = exact.pilot(rng, 20000);
            const double pilot_seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - pilot_start)
                    .count();
            const double per_class =
                pilot.inverse_size_sum > 0 ? pilot_seconds / pilot.inverse_size_sum : INFINITY;
            if (per_class * 1000 <= 60) {
                reference.emplace();
                reference->edge_bound = bound;
                for (int i = 0; i < 1000; ++i) {
                    SampleResult r;
                    exact.draw_class(rng, r);
                    reference->add(r);
                }
            }
        }
        // Bounded by edges: no exact share without lines; the exact edge
        // distribution where the counts by edges reach.
        const std::optional<EdgeBoundExact> exact_edges = edge_bound_exact(n, bound);
        const MixingCheckResult check = check_mixing(
            n_its, statistics, std::numeric_limits<double>::quiet_NaN(),
            reference ? &*reference : nullptr, 0, exact_edges ? &*exact_edges : nullptr);
        verdict = std::string(check.passed ? "passed" : "FAILED") +
                  (check.has_reference ? " (halves, exact reference)" : " (halves only)");
    }
    char draws[32] = "-";
    if (!walk) {
        std::snprintf(draws, sizeof draws, "%.1f", static_cast<double>(dags) / samples);
    }
    std::printf(
        "| %s | %d | %g | %lld | %d | %.3f ± %.3f | %.3f | %.2f | %.2f | %.1f (%d) | %s | %.1f s "
        "|%s%s\n",
        walk ? "walk" : "exact", n, degree, static_cast<long long>(edges), samples, p,
        std::sqrt(p * (1 - p) / samples), static_cast<double>(size_one) / samples,
        log10_sizes[log10_sizes.size() / 2], statistics.lines.mean, largest_sum / samples,
        largest_max, draws, seconds, walk ? " " : "", walk ? (verdict + " |").c_str() : "");
    return 0;
}

}  // namespace
}  // namespace pellimor

int main(int argc, char** argv) {
    return pellimor::run(argc, argv);
}
