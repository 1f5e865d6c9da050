// The walk limited to at most E edges against exact truth: uniform over the
// classes with at most E edges on 5 vertices (brute-force grouping), its edge
// distribution at n = 12 against the counts by edges, and at n = 30 with a
// mean degree of 4, walks from exact starts against exact draws.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <vector>

#include "dag_classes.hpp"
#include "graph/matrix_queries.hpp"
#include "mixed_graphs.hpp"
#include "sampler/random_walk.hpp"
#include "sampler/sparse_exact_sampler.hpp"
#include "stats/edge_bound_exact.hpp"

namespace pellimor {
namespace {

using testing::key_of;

struct LimitCase {
    int max_edges;
    bool full_check;
};

class EdgeLimitedWalkOnFive : public ::testing::TestWithParam<LimitCase> {};

TEST_P(EdgeLimitedWalkOnFive, EveryClassWithinTheLimitEquallyLikely) {
    const auto [max_edges, full_check] = GetParam();
    constexpr int n = 5;
    std::map<std::uint64_t, int> index;
    for (const auto& c : testing::group_classes(testing::all_dags(n))) {
        if (count_edges(c.essential) <= max_edges) {
            index.emplace(key_of(c.essential), static_cast<int>(index.size()));
        }
    }
    const int cells = static_cast<int>(index.size());
    const int samples = 20 * cells;
    const int n_its = full_check ? 600 : 1500;
    const std::uint64_t seed = 500 + static_cast<std::uint64_t>(max_edges);
    std::vector<int> seen(cells, 0);
    for (int i = 1; i <= samples; ++i) {
        EdgeMatrix m(n);
        auto rng = sample_stream(seed, static_cast<std::uint64_t>(i));
        MoveCounts counts;
        run_walk(m, rng, n_its, full_check, counts, nullptr, nullptr,
                 EdgeBound::at_most(max_edges));
        const auto found = index.find(key_of(m));
        ASSERT_NE(found, index.end()) << "seed " << seed << " sample " << i
                                      << ": outside the limit: " << testing::edge_list(m);
        ++seen[found->second];
    }
    const double expected = static_cast<double>(samples) / cells;
    double chi_square = 0;
    for (int count : seen) {
        chi_square += (count - expected) * (count - expected) / expected;
    }
    const double freedom = cells - 1;
    EXPECT_LT(chi_square, freedom + 4 * std::sqrt(2 * freedom))
        << "seed " << seed << ", " << cells << " classes, " << n_its << " moves";
}

INSTANTIATE_TEST_SUITE_P(EdgeLimitedWalk, EdgeLimitedWalkOnFive,
                         ::testing::Values(LimitCase{3, false}, LimitCase{4, false},
                                           LimitCase{3, true}),
                         [](const ::testing::TestParamInfo<LimitCase>& info) {
                             return "AtMost" + std::to_string(info.param.max_edges) +
                                    (info.param.full_check ? "FullCheck" : "Incremental");
                         });

// At n = 12 with at most 12 edges: the final graphs' edge counts against the
// exact distribution, by chi-square over the counts (those expected fewer than
// 5 times pooled with their neighbour below).
TEST(EdgeLimitedWalk, EdgeDistributionMatchesCountsByEdges) {
    constexpr int n = 12;
    constexpr int max_edges = 12;
    const auto exact = edge_bound_exact(n, EdgeBound::at_most(max_edges));
    ASSERT_TRUE(exact);
    constexpr int samples = 2000;
    const std::uint64_t seed = 1212;
    std::vector<int> seen(max_edges + 1, 0);
    for (int i = 1; i <= samples; ++i) {
        EdgeMatrix m(n);
        auto rng = sample_stream(seed, static_cast<std::uint64_t>(i));
        MoveCounts counts;
        run_walk(m, rng, 20000, false, counts, nullptr, nullptr, EdgeBound::at_most(max_edges));
        const std::int64_t e = count_edges(m);
        ASSERT_LE(e, max_edges) << "seed " << seed << " sample " << i;
        ++seen[e];
    }
    double chi_square = 0;
    int freedom = -1;
    double expected = 0;
    double observed = 0;
    for (int e = 0; e <= max_edges; ++e) {
        expected += samples * exact->edge_shares[e];
        observed += seen[e];
        if (expected >= 5 || e == max_edges) {
            chi_square += (observed - expected) * (observed - expected) / expected;
            ++freedom;
            expected = observed = 0;
        }
    }
    ASSERT_GE(freedom, 1);
    EXPECT_LT(chi_square, freedom + 4 * std::sqrt(2.0 * freedom))
        << "seed " << seed << ", " << freedom << " degrees of freedom";
}

// At n = 30 with at most 60 edges (mean degree 4): walks that start from
// exact draws stay where the exact draws are, in the share without lines,
// the mean line count and the mean edge count (two-sample z within 4).
TEST(EdgeLimitedWalk, ExactStartsAgreeWithExactDraws) {
    constexpr int n = 30;
    constexpr int max_edges = 60;
    constexpr int samples = 600;
    const std::uint64_t seed = 3060;
    const SparseSetup setup = make_sparse_setup(n, EdgeBound::at_most(max_edges));
    SparseExactSampler sampler(setup);
    const Settings settings{n, 3000, false, EdgeBound::at_most(max_edges)};
    struct Moments {
        double sum[3] = {};
        double square[3] = {};
        void add(const SampleResult& r) {
            const double v[3] = {static_cast<double>(r.no_lines), static_cast<double>(r.lines),
                                 static_cast<double>(r.classes.edges)};
            for (int k = 0; k < 3; ++k) {
                sum[k] += v[k];
                square[k] += v[k] * v[k];
            }
        }
        double mean(int k) const { return sum[k] / samples; }
        double variance_of_mean(int k) const {
            return (square[k] / samples - mean(k) * mean(k)) / (samples - 1);
        }
    };
    Moments walks;
    Moments exact;
    EdgeMatrix m(n);
    for (int i = 1; i <= samples; ++i) {
        auto rng = sample_stream(seed, static_cast<std::uint64_t>(i));
        SampleResult start;
        ASSERT_TRUE(sampler.draw_class(rng, start));
        exact.add(start);
        // The walk starts from a class drawn afresh, not the one just counted.
        ASSERT_TRUE(sampler.draw_class(rng, start));
        sampler.kept_essential_graph(rng, m);
        SampleResult walked = walk_sample(settings, m, rng);
        walked.classes.edges = count_edges(m);
        ASSERT_LE(walked.classes.edges, max_edges);
        walks.add(walked);
    }
    const char* names[3] = {"share without lines", "mean lines", "mean edges"};
    for (int k = 0; k < 3; ++k) {
        const double z = (walks.mean(k) - exact.mean(k)) /
                         std::sqrt(walks.variance_of_mean(k) + exact.variance_of_mean(k));
        EXPECT_LT(std::abs(z), 4) << names[k] << ": walk " << walks.mean(k) << ", exact "
                                  << exact.mean(k) << ", seed " << seed;
    }
}

}  // namespace
}  // namespace pellimor
