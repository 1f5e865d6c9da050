// The exact values over uniform DAGs against a second route: every DAG on up
// to 5 vertices, counted by brute force.

#include "counts/dag_values.hpp"

#include <gtest/gtest.h>

#include <bit>

#include "counts/exact_counts.hpp"
#include "dag_classes.hpp"

namespace pellimor {
namespace {

bool skeleton_connected(const testing::SmallDag& dag) {
    std::uint32_t reached = 1;
    for (bool grew = true; grew;) {
        grew = false;
        for (int v = 0; v < dag.n; ++v) {
            // v joins when it or one of its parents is reached; then all of them do.
            const std::uint32_t near = dag.parents[v] | (std::uint32_t{1} << v);
            if ((near & reached) != 0 && (near & ~reached) != 0) {
                reached |= near;
                grew = true;
            }
        }
    }
    return reached == (std::uint32_t{1} << dag.n) - 1;
}

TEST(DagValues, MatchEveryDagOnUpToFiveVertices) {
    const DagCountsWithEdges t = dag_counts_with_edges(5);
    for (int n = 1; n <= 5; ++n) {
        const auto dags = testing::all_dags(n);
        long connected = 0;
        long edges = 0;
        long edge_pairs = 0;
        for (const auto& dag : dags) {
            connected += skeleton_connected(dag) ? 1 : 0;
            long e = 0;
            for (const std::uint32_t parents : dag.parents) {
                e += std::popcount(parents);
            }
            edges += e;
            edge_pairs += e * (e - 1);
        }
        const auto i = static_cast<std::size_t>(n);
        EXPECT_EQ(t.dags[i], static_cast<long>(dags.size())) << n;
        EXPECT_EQ(t.connected_dags[i], connected) << n;
        EXPECT_EQ(t.edge_sum[i], edges) << n;
        EXPECT_EQ(t.edge_pair_sum[i], edge_pairs) << n;
        const DagValues v = *dag_values(n);
        const double mean = static_cast<double>(edges) / static_cast<double>(dags.size());
        EXPECT_NEAR(v.mean_edges.value, mean, 1e-12) << n;
        EXPECT_NEAR(
            v.variance_edges.value,
            static_cast<double>(edge_pairs) / static_cast<double>(dags.size()) + mean - mean * mean,
            1e-12)
            << n;
    }
    EXPECT_FALSE(dag_values(exact_count_limit + 1));
}

}  // namespace
}  // namespace pellimor
