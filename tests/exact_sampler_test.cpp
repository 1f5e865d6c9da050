// The rejection sampler against exact truth: every essential graph on 4
// vertices equally often, and the shares of classes without lines and with
// a connected skeleton, the classes per DAG and the weighted estimates over
// all DAGs drawn, at 5 to 10 vertices.

#include "graph/matrix_queries.hpp"
#include "sampler/exact_sampler.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <vector>

#include "counts/count_table.hpp"
#include "exact_counts.hpp"
#include "mixed_graphs.hpp"

namespace pellimor {
namespace {

using testing::key_of;

TEST(ExactSampler, EveryEssentialGraphOnFourVerticesEquallyLikely) {
    constexpr int n = 4;
    const auto graphs = testing::admissible_graphs(n);
    ASSERT_EQ(graphs.size(), 185u);
    std::map<std::uint64_t, int> index;
    for (std::size_t i = 0; i < graphs.size(); ++i) {
        index.emplace(key_of(graphs[i]), static_cast<int>(i));
    }
    const int samples = 60 * static_cast<int>(graphs.size());
    const std::uint64_t seed = 185;
    const DagCounts tables(n);
    ExactSampler sampler(tables);
    Xoshiro256StarStar rng(seed);
    EdgeMatrix m(n);
    std::vector<int> seen(graphs.size(), 0);
    for (int i = 0; i < samples; ++i) {
        SampleResult result;
        ASSERT_TRUE(sampler.draw_class(rng, result));
        sampler.kept_essential_graph(rng, m);
        const auto found = index.find(key_of(m));
        ASSERT_NE(found, index.end()) << "not an essential graph: " << testing::edge_list(m);
        ++seen[static_cast<std::size_t>(found->second)];
        // The flags describe the graph handed out.
        ASSERT_EQ(result.no_lines, has_no_lines(m)) << testing::edge_list(m);
        ASSERT_EQ(result.connected, is_connected(m)) << testing::edge_list(m);
        ASSERT_EQ(result.lines, count_lines(m)) << testing::edge_list(m);
    }
    const double expected = static_cast<double>(samples) / static_cast<double>(graphs.size());
    double chi_square = 0;
    for (int count : seen) {
        chi_square += (count - expected) * (count - expected) / expected;
    }
    const double freedom = static_cast<double>(graphs.size()) - 1;
    EXPECT_LT(chi_square, freedom + 4 * std::sqrt(2 * freedom)) << "seed " << seed;
}

// A ratio estimate sum x_j / sum y_j over independent samples j, compared
// with its exact value R within 4 standard errors; the error of a ratio of
// sums is sqrt(sum (x_j - R y_j)^2) / sum y_j to first order.
class RatioEstimate {
  public:
    explicit RatioEstimate(double exact) : exact_(exact) {}
    void add(double x, double y) {
        x_sum_ += x;
        y_sum_ += y;
        residual_ += (x - exact_ * y) * (x - exact_ * y);
    }
    void check(const char* what, int n, std::uint64_t seed) const {
        EXPECT_NEAR(x_sum_ / y_sum_, exact_, 4 * std::sqrt(residual_) / y_sum_)
            << what << ", n = " << n << ", seed " << seed;
    }

  private:
    double exact_;
    double x_sum_ = 0;
    double y_sum_ = 0;
    double residual_ = 0;
};

class ExactSamplerShares : public ::testing::TestWithParam<int> {};

TEST_P(ExactSamplerShares, MatchExactCounts) {
    const int n = GetParam();
    const auto& exact = testing::exact_counts_for(n);
    const double classes = testing::as_double(exact.essential_graphs);
    const double no_lines_share = testing::as_double(exact.essential_dags) / classes;
    const double connected_share = testing::as_double(exact.connected_essential_graphs) / classes;
    RatioEstimate no_lines(no_lines_share);
    RatioEstimate connected(connected_share);
    RatioEstimate classes_per_dag(classes / testing::as_double(exact.dags));
    RatioEstimate weighted_no_lines(no_lines_share);
    RatioEstimate weighted_connected(connected_share);

    const std::uint64_t seed = 5000 + static_cast<std::uint64_t>(n);
    const DagCounts tables(n);
    ExactSampler sampler(tables);
    Xoshiro256StarStar rng(seed);
    constexpr int samples = 20000;
    for (int i = 0; i < samples; ++i) {
        SampleResult r;
        ASSERT_TRUE(sampler.draw_class(rng, r));
        no_lines.add(r.no_lines, 1);
        connected.add(r.connected, 1);
        classes_per_dag.add(1, static_cast<double>(r.dags_drawn));
        weighted_no_lines.add(r.single_dag_count, r.inverse_size_sum);
        weighted_connected.add(r.connected_weight, r.inverse_size_sum);
    }
    no_lines.check("no-line share", n, seed);
    connected.check("connected share", n, seed);
    classes_per_dag.check("classes per DAG", n, seed);
    weighted_no_lines.check("weighted no-line share", n, seed);
    weighted_connected.check("weighted connected share", n, seed);
}

INSTANTIATE_TEST_SUITE_P(ExactSampler, ExactSamplerShares, ::testing::Range(5, 11));

// Far beyond the published counts: the share without lines and the classes
// per DAG against the program's own exact counts.
class ExactSamplerAgainstCounts : public ::testing::TestWithParam<int> {};

TEST_P(ExactSamplerAgainstCounts, MatchExactCounts) {
    const int n = GetParam();
    const CountRow exact = count_row(n);
    RatioEstimate no_lines(exact.no_lines.value);
    RatioEstimate classes_per_dag(exact.classes_per_dag.value);
    const std::uint64_t seed = 7000 + static_cast<std::uint64_t>(n);
    const DagCounts tables(n);
    ExactSampler sampler(tables);
    Xoshiro256StarStar rng(seed);
    for (int i = 0; i < 10000; ++i) {
        SampleResult r;
        ASSERT_TRUE(sampler.draw_class(rng, r));
        no_lines.add(r.no_lines, 1);
        classes_per_dag.add(1, static_cast<double>(r.dags_drawn));
    }
    no_lines.check("no-line share", n, seed);
    classes_per_dag.check("classes per DAG", n, seed);
}

INSTANTIATE_TEST_SUITE_P(ExactSampler, ExactSamplerAgainstCounts, ::testing::Values(40, 200));

TEST(ExactSampler, StopsBeforeDrawing) {
    const DagCounts tables(10);
    ExactSampler sampler(tables);
    Xoshiro256StarStar rng(1);
    SampleResult result;
    const std::atomic<bool> stop{true};
    EXPECT_FALSE(sampler.draw_class(rng, result, &stop));
    EXPECT_EQ(result.dags_drawn, 0);
}

// The parent-row connectivity against the edge-matrix one across word
// boundaries, on long thin DAGs: each vertex takes one of the three vertices
// below it as parent, so paths zigzag up and down the numbering; half of the
// graphs lose one such arrow, and a few random arrows may join the parts
// again, so both answers are common.
class SkeletonConnected : public ::testing::TestWithParam<int> {};

TEST_P(SkeletonConnected, AgreesWithEdgeMatrixTest) {
    const int n = GetParam();
    const std::uint64_t seed = 31 + static_cast<std::uint64_t>(n);
    Xoshiro256StarStar rng(seed);
    OrderedDag dag(n);
    std::vector<Word> reached(static_cast<std::size_t>(dag.words()));
    EssentialGraph eg(n);
    int connected_count = 0;
    constexpr int graphs = 300;
    for (int g = 0; g < graphs; ++g) {
        EdgeMatrix m(n);
        dag.resize(n);
        auto add_arrow = [&](int u, int v) {
            set_bit(dag.parents(v), u);
            m[u][v] = EDGE_ARROW;
        };
        const int unparented = g % 2 == 0 && n > 1 ? 1 + static_cast<int>(rng() % (n - 1)) : -1;
        for (int v = 1; v < n; ++v) {
            if (v != unparented) {
                add_arrow(v - 1 - static_cast<int>(rng() % std::min<std::uint64_t>(v, 3)), v);
            }
        }
        for (int extra = 0; extra < 2; ++extra) {
            const int v = static_cast<int>(rng() % n);
            if (v > 0 && rng() % 4 == 0) {
                add_arrow(static_cast<int>(rng() % v), v);
            }
        }
        const bool connected = skeleton_connected(dag, reached.data());
        ASSERT_EQ(connected ? 1 : 0, is_connected(m))
            << "seed " << seed << ", graph " << g << ": " << testing::edge_list(m);
        eg.build(dag);  // for its sources
        ASSERT_EQ(skeleton_connected(dag, eg.sources(), eg.source_count(), reached.data()),
                  connected)
            << "seed " << seed << ", graph " << g << ": " << testing::edge_list(m);
        connected_count += connected ? 1 : 0;
    }
    if (n >= 3) {
        EXPECT_GT(connected_count, graphs / 10);
        EXPECT_LT(connected_count, graphs - graphs / 10);
    }
}

INSTANTIATE_TEST_SUITE_P(ExactSampler, SkeletonConnected, ::testing::Values(1, 2, 5, 64, 65, 130));

}  // namespace
}  // namespace pellimor
