// Classes with exactly E (at most E) edges against the brute-force grouping of
// every DAG on 5 vertices, the exact values by edges against the same
// grouping, and the share of DAGs kept at n = 12 against the counts by edges.

#include "sampler/sparse_exact_sampler.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <vector>

#include "dag_classes.hpp"
#include "graph/matrix_queries.hpp"
#include "mixed_graphs.hpp"
#include "stats/edge_bound_exact.hpp"

namespace pellimor {
namespace {

using testing::key_of;

struct Grouping {
    std::vector<testing::DagClass> classes;
    std::vector<std::int64_t> classes_by_edges;
    std::vector<std::int64_t> dags_by_edges;
};

const Grouping& five_vertices() {
    static const Grouping grouping = [] {
        Grouping g;
        const auto dags = testing::all_dags(5);
        g.classes = testing::group_classes(dags);
        g.classes_by_edges.assign(11, 0);
        g.dags_by_edges.assign(11, 0);
        for (const auto& c : g.classes) {
            const auto e = static_cast<std::size_t>(count_edges(c.essential));
            ++g.classes_by_edges[e];
            g.dags_by_edges[e] += static_cast<std::int64_t>(c.members.size());
        }
        return g;
    }();
    return grouping;
}

struct BoundCase {
    int edges;
    EdgeBoundKind bound;
};

class SparseClassesOnFive : public ::testing::TestWithParam<BoundCase> {};

TEST_P(SparseClassesOnFive, EveryClassWithinTheBoundEquallyLikely) {
    const auto [edges, bound] = GetParam();
    const Grouping& g = five_vertices();
    std::map<std::uint64_t, int> index;
    for (const auto& c : g.classes) {
        const std::int64_t e = count_edges(c.essential);
        if (e == edges || (bound == EdgeBoundKind::AT_MOST && e < edges)) {
            index.emplace(key_of(c.essential), static_cast<int>(index.size()));
        }
    }
    const int cells = static_cast<int>(index.size());
    const int samples = 40 * cells;
    const std::uint64_t seed = 77 + static_cast<std::uint64_t>(edges);
    const SparseSetup setup = make_sparse_setup(5, {bound, edges});
    SparseExactSampler sampler(setup);
    Xoshiro256StarStar rng(seed);
    EdgeMatrix m(5);
    std::vector<int> seen(cells, 0);
    for (int i = 0; i < samples; ++i) {
        SampleResult r;
        ASSERT_TRUE(sampler.draw_class(rng, r));
        sampler.kept_essential_graph(rng, m);
        const auto found = index.find(key_of(m));
        ASSERT_NE(found, index.end()) << "not a class within the bound: " << testing::edge_list(m);
        ++seen[found->second];
        ASSERT_EQ(r.classes.edges, count_edges(m)) << testing::edge_list(m);
        ASSERT_EQ(r.lines, count_lines(m)) << testing::edge_list(m);
        ASSERT_EQ(r.connected, is_connected(m)) << testing::edge_list(m);
    }
    const double expected = static_cast<double>(samples) / cells;
    double chi_square = 0;
    for (int count : seen) {
        chi_square += (count - expected) * (count - expected) / expected;
    }
    const double freedom = cells - 1;
    EXPECT_LT(chi_square, freedom + 4 * std::sqrt(2 * freedom))
        << "seed " << seed << ", " << cells << " classes";
}

INSTANTIATE_TEST_SUITE_P(
    SparseExactSampler, SparseClassesOnFive,
    ::testing::Values(BoundCase{4, EdgeBoundKind::EXACTLY}, BoundCase{6, EdgeBoundKind::EXACTLY},
                      BoundCase{3, EdgeBoundKind::AT_MOST}),
    [](const ::testing::TestParamInfo<BoundCase>& info) {
        return std::string(info.param.bound == EdgeBoundKind::AT_MOST ? "AtMost" : "Exactly") +
               std::to_string(info.param.edges);
    });

// The summary's exact values: classes and DAGs by edges, and the edge
// distribution under at most E, against the brute-force grouping.
TEST(EdgeBoundExact, MatchesTheBruteForceGrouping) {
    const Grouping& g = five_vertices();
    std::int64_t classes_so_far = 0;
    std::int64_t dags_so_far = 0;
    for (int e = 0; e <= 10; ++e) {
        classes_so_far += g.classes_by_edges[e];
        dags_so_far += g.dags_by_edges[e];
        const auto exactly = edge_bound_exact(5, EdgeBound::exactly(e));
        ASSERT_TRUE(exactly);
        EXPECT_EQ(exactly->classes, std::to_string(g.classes_by_edges[e])) << "e = " << e;
        EXPECT_EQ(exactly->dags, std::to_string(g.dags_by_edges[e])) << "e = " << e;
        const auto at_most = edge_bound_exact(5, EdgeBound::at_most(e));
        ASSERT_TRUE(at_most);
        EXPECT_EQ(at_most->classes, std::to_string(classes_so_far)) << "e = " << e;
        EXPECT_EQ(at_most->dags, std::to_string(dags_so_far)) << "e = " << e;
        ASSERT_EQ(at_most->edge_shares.size(), static_cast<std::size_t>(e) + 1);
        double mean = 0;
        for (int f = 0; f <= e; ++f) {
            const double share = static_cast<double>(g.classes_by_edges[f]) / classes_so_far;
            EXPECT_NEAR(at_most->edge_shares[f], share, 1e-15) << "e = " << e << ", f = " << f;
            mean += f * share;
        }
        EXPECT_NEAR(at_most->mean_edges, mean, 1e-12) << "e = " << e;
    }
    EXPECT_FALSE(edge_bound_exact(edge_counts_run_limit + 1, EdgeBound::exactly(3)));
}

// The share of DAGs with E edges kept (classes per DAG), over the kept
// classes and as the mean of 1/s over every DAG drawn, against the exact
// ratio of the counts by edges, within 4 standard errors.
class SparseKeptShare : public ::testing::TestWithParam<int> {};

TEST_P(SparseKeptShare, MatchesCountsByEdges) {
    constexpr int n = 12;
    const int edges = GetParam();
    const auto exact = edge_bound_exact(n, EdgeBound::exactly(edges));
    ASSERT_TRUE(exact);
    const double r = exact->classes_per_dag;
    const std::uint64_t seed = 1200 + static_cast<std::uint64_t>(edges);
    const SparseSetup setup = make_sparse_setup(n, EdgeBound::exactly(edges));
    SparseExactSampler sampler(setup);
    Xoshiro256StarStar rng(seed);
    constexpr int samples = 4000;
    double kept = 0, drawn = 0, inverse = 0, residual_kept = 0, residual_inverse = 0;
    for (int i = 0; i < samples; ++i) {
        SampleResult result;
        ASSERT_TRUE(sampler.draw_class(rng, result));
        const auto d = static_cast<double>(result.dags_drawn);
        kept += 1;
        drawn += d;
        inverse += result.inverse_size_sum;
        residual_kept += (1 - r * d) * (1 - r * d);
        residual_inverse += (result.inverse_size_sum - r * d) * (result.inverse_size_sum - r * d);
        ASSERT_EQ(result.classes.edges, edges);
    }
    EXPECT_NEAR(kept / drawn, r, 4 * std::sqrt(residual_kept) / drawn) << "seed " << seed;
    EXPECT_NEAR(inverse / drawn, r, 4 * std::sqrt(residual_inverse) / drawn) << "seed " << seed;
}

INSTANTIATE_TEST_SUITE_P(SparseExactSampler, SparseKeptShare, ::testing::Values(12, 24));

}  // namespace
}  // namespace pellimor
