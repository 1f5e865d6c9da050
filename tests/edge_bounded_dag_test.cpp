// DAGs with exactly E (at most E) edges against exhaustive enumeration: every
// labelled DAG on 4 and 5 vertices with that many edges equally often; and
// the weight y chosen for a mean of E edges against the mean of the exact
// counts by edges.

#include "sampler/edge_bounded_dag.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <numeric>
#include <vector>

#include "dag_classes.hpp"
#include "sampler/sparse_exact_sampler.hpp"

namespace pellimor {
namespace {

int edges_of(const testing::SmallDag& dag) {
    int e = 0;
    for (auto p : dag.parents) {
        e += std::popcount(p);
    }
    return e;
}

// The drawn DAG under a uniform relabelling, as parent masks.
std::vector<std::uint32_t> relabelled(const OrderedDag& dag, Xoshiro256StarStar& rng) {
    const int n = dag.size();
    std::vector<int> label(n);
    std::iota(label.begin(), label.end(), 0);
    for (int i = n; i > 1; --i) {
        std::swap(label[i - 1], label[rng() % static_cast<std::uint64_t>(i)]);
    }
    std::vector<std::uint32_t> parents(n, 0);
    for (int v = 0; v < n; ++v) {
        for (int u = 0; u < v; ++u) {
            if (test_bit(dag.parents(v), u)) {
                parents[label[v]] |= std::uint32_t{1} << label[u];
            }
        }
    }
    return parents;
}

struct BoundCase {
    int n;
    int edges;
    EdgeBoundKind bound;
};

class EdgeBoundedDagOnFew : public ::testing::TestWithParam<BoundCase> {};

TEST_P(EdgeBoundedDagOnFew, EveryDagWithinTheBoundEquallyLikely) {
    const auto [n, edges, bound] = GetParam();
    std::map<std::vector<std::uint32_t>, int> index;
    for (const auto& dag : testing::all_dags(n)) {
        const int e = edges_of(dag);
        if (e == edges || (bound == EdgeBoundKind::AT_MOST && e < edges)) {
            index.emplace(dag.parents, static_cast<int>(index.size()));
        }
    }
    const int cells = static_cast<int>(index.size());
    const int draws = 40 * cells;
    const std::uint64_t seed = 1000 * n + edges;
    const SparseSetup setup = make_sparse_setup(n, {bound, edges});
    EdgeBoundedDag sampler(*setup.tables, {bound, edges});
    Xoshiro256StarStar rng(seed);
    std::vector<int> seen(cells, 0);
    for (int i = 0; i < draws;) {
        if (!sampler.propose(rng)) {
            continue;
        }
        ++i;
        ASSERT_EQ(sampler.edges(), [&] {
            int e = 0;
            for (int v = 0; v < n; ++v) {
                e += std::popcount(sampler.dag().parents(v)[0]);
            }
            return e;
        }());
        const auto found = index.find(relabelled(sampler.dag(), rng));
        ASSERT_NE(found, index.end()) << "a DAG outside the bound, seed " << seed;
        ++seen[found->second];
    }
    const double expected = static_cast<double>(draws) / cells;
    double chi_square = 0;
    for (int count : seen) {
        chi_square += (count - expected) * (count - expected) / expected;
    }
    const double freedom = cells - 1;
    EXPECT_LT(chi_square, freedom + 4 * std::sqrt(2 * freedom))
        << "seed " << seed << ", " << cells << " DAGs";
}

INSTANTIATE_TEST_SUITE_P(EdgeBoundedDag, EdgeBoundedDagOnFew,
                         ::testing::Values(BoundCase{4, 2, EdgeBoundKind::EXACTLY},
                                           BoundCase{4, 5, EdgeBoundKind::EXACTLY},
                                           BoundCase{5, 3, EdgeBoundKind::EXACTLY},
                                           BoundCase{5, 7, EdgeBoundKind::EXACTLY},
                                           BoundCase{4, 3, EdgeBoundKind::AT_MOST},
                                           BoundCase{5, 4, EdgeBoundKind::AT_MOST}),
                         [](const ::testing::TestParamInfo<BoundCase>& info) {
                             return std::string(info.param.bound == EdgeBoundKind::AT_MOST
                                                    ? "AtMost"
                                                    : "Exactly") +
                                    std::to_string(info.param.edges) + "On" +
                                    std::to_string(info.param.n);
                         });

// The weight chosen for a mean of E edges, within 1% of a standard deviation,
// and log a_5(y): against the DAGs by edges at n = 5, by enumeration.
TEST(WeightedDagTables, WeightGivesTheAskedMean) {
    constexpr int n = 5;
    std::vector<double> by_edges(11, 0);
    for (const auto& dag : testing::all_dags(n)) {
        by_edges[edges_of(dag)] += 1;
    }
    for (double aim : {1.5, 4.0, 8.0}) {
        const double y = weight_for_mean_edges(n, aim);
        double total = 0;
        double sum = 0;
        double square_sum = 0;
        for (int e = 0; e <= 10; ++e) {
            total += by_edges[e] * std::pow(y, e);
            sum += e * by_edges[e] * std::pow(y, e);
            square_sum += e * e * by_edges[e] * std::pow(y, e);
        }
        const double mean = sum / total;
        const double sd = std::sqrt(square_sum / total - mean * mean);
        EXPECT_NEAR(mean, aim, 0.011 * sd) << "y = " << y;
        // And log a_5(y) itself.
        EXPECT_NEAR(log_weighted_dag_count(n, y), std::log(total), 1e-12);
    }
}

}  // namespace
}  // namespace pellimor
