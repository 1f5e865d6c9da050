#include "counts/edge_counts.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <map>

#include "counts/exact_counts.hpp"
#include "dag_classes.hpp"
#include "exact_counts.hpp"

namespace pellimor {
namespace {

int arrow_count(const testing::SmallDag& dag) {
    int arrows = 0;
    for (const std::uint32_t parents : dag.parents) {
        arrows += std::popcount(parents);
    }
    return arrows;
}

// Every DAG on n <= 5 vertices, grouped into classes by skeleton and
// v-structures: the classes and the DAGs by number of edges.
TEST(EdgeCounts, TrianglesMatchBruteForce) {
    const EdgeTriangle classes = essential_graphs_by_edges(5);
    const EdgeTriangle dags = dags_by_edges(5);
    for (int n = 1; n <= 5; ++n) {
        const auto all = testing::all_dags(n);
        std::map<int, long> class_rows;
        std::map<int, long> dag_rows;
        for (const auto& group : testing::group_classes(all)) {
            ++class_rows[arrow_count(all[group.members.front()])];
        }
        for (const auto& dag : all) {
            ++dag_rows[arrow_count(dag)];
        }
        ASSERT_EQ(classes[n].size(), static_cast<std::size_t>(n * (n - 1) / 2 + 1));
        ASSERT_EQ(dags[n].size(), classes[n].size());
        for (int e = 0; e <= n * (n - 1) / 2; ++e) {
            EXPECT_EQ(classes[n][e], class_rows[e]) << "n = " << n << ", e = " << e;
            EXPECT_EQ(dags[n][e], dag_rows[e]) << "n = " << n << ", e = " << e;
        }
    }
}

// Rows sum to the published totals; the complete graph is one class.
TEST(EdgeCounts, RowsSumToPublishedTotals) {
    const int limit = testing::exact_counts_max_n;
    const EdgeTriangle classes = essential_graphs_by_edges(limit);
    const EdgeTriangle dags = dags_by_edges(limit);
    for (int n = 1; n <= limit; ++n) {
        mpz_class class_sum = 0;
        mpz_class dag_sum = 0;
        for (std::size_t e = 0; e < classes[n].size(); ++e) {
            class_sum += classes[n][e];
            dag_sum += dags[n][e];
        }
        EXPECT_EQ(class_sum.get_str(), testing::exact_counts_for(n).essential_graphs) << n;
        EXPECT_EQ(dag_sum.get_str(), testing::exact_counts_for(n).dags) << n;
        EXPECT_EQ(classes[n].back(), 1) << n;
    }
}

TEST(EdgeCounts, RejectsSizesOutsideTheLimit) {
    EXPECT_THROW(essential_graphs_by_edges(-1), std::invalid_argument);
    EXPECT_THROW(dags_by_edges(edge_triangle_limit + 1), std::invalid_argument);
}

}  // namespace
}  // namespace pellimor
