#include "counts/edge_counts.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <map>

#include "counts/class_counts.hpp"
#include "counts/count_table.hpp"
#include "counts/exact_counts.hpp"
#include "counts/scaled_counts.hpp"
#include "counts/significant_digits.hpp"
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

// Rows sum to the published totals; the complete graph is one class; the
// mean and variance of the edges from the rows, as exact rationals, equal
// the ones of the count table, which come from the derivatives of the
// recurrence at y = 1 in floating point.
TEST(EdgeCounts, RowsGiveTheTotalsAndTheEdgeMoments) {
    const int limit = testing::exact_counts_max_n;
    const EdgeTriangle classes = essential_graphs_by_edges(limit);
    const EdgeTriangle dags = dags_by_edges(limit);
    const std::vector<CountRow> rows = count_rows(limit);
    for (int n = 1; n <= limit; ++n) {
        mpz_class class_sum = 0;
        mpz_class dag_sum = 0;
        mpz_class edge_sum = 0;
        mpz_class square_sum = 0;
        for (std::size_t e = 0; e < classes[n].size(); ++e) {
            class_sum += classes[n][e];
            dag_sum += dags[n][e];
            edge_sum += classes[n][e] * e;
            square_sum += classes[n][e] * e * e;
        }
        EXPECT_EQ(class_sum.get_str(), testing::exact_counts_for(n).essential_graphs) << n;
        EXPECT_EQ(dag_sum.get_str(), testing::exact_counts_for(n).dags) << n;
        EXPECT_EQ(classes[n].back(), 1) << n;
        const CountRow& row = rows[static_cast<std::size_t>(n - 1)];
        EXPECT_EQ(significant_digits(edge_sum, class_sum), row.mean_edges.text) << n;
        EXPECT_EQ(
            significant_digits(square_sum * class_sum - edge_sum * edge_sum, class_sum * class_sum),
            row.variance_edges.text)
            << n;
    }
}

// The floating-point recurrences against the exact integers at every n up
// to the exact limit, all five counts.
TEST(ScaledCounts, AgreeWithExactIntegers) {
    const int limit = exact_count_limit;
    const ScaledCounts s = scaled_counts_up_to(limit);
    const ExactCounts dags = exact_counts_up_to(limit);
    const ClassCounts classes = class_counts_up_to(limit);
    const std::vector<mpz_class> connected_dags = connected_from_totals(dags.essential_dags);
    mpz_class scale = 1;  // n! 2^C(n,2)
    for (int n = 1; n <= limit; ++n) {
        scale *= n;
        scale <<= static_cast<mp_bitcnt_t>(n - 1);
        const auto check = [&](const mpf_class& scaled, const mpz_class& exact, const char* what) {
            if (exact == 0) {
                EXPECT_LT(abs(scaled), 1e-90) << what << ", n = " << n;
                return;
            }
            const mpf_class truth = mpf_class(exact, 400) / mpf_class(scale, 400);
            EXPECT_LT(mpf_class(abs(scaled - truth) / truth).get_d(), 1e-85)
                << what << ", n = " << n;
        };
        check(s.dags[n], dags.dags[n], "DAGs");
        check(s.essential_dags[n], dags.essential_dags[n], "essential DAGs");
        check(s.essential_graphs[n], classes.essential_graphs[n], "essential graphs");
        check(s.connected_essential_graphs[n], classes.connected_essential_graphs[n],
              "connected essential graphs");
        check(s.connected_essential_dags[n], connected_dags[n], "connected essential DAGs");
    }
}

TEST(SignificantDigits, RoundToTwelveDigitsAndLayOut) {
    const auto digits = [](long numerator, long denominator) {
        return significant_digits(mpz_class(numerator), mpz_class(denominator));
    };
    EXPECT_EQ(digits(0, 7), "0");
    EXPECT_EQ(digits(1, 1), "1.00000000000");
    EXPECT_EQ(digits(2, 3), "0.666666666667");
    EXPECT_EQ(digits(1, 300000), "3.33333333333e-06");
    EXPECT_EQ(digits(1, 30000), "0.0000333333333333");
    EXPECT_EQ(digits(123456789012345, 1), "1.23456789012e+14");
    EXPECT_EQ(digits(123456789012, 1), "123456789012");
    EXPECT_EQ(digits(19999999999999, 20), "1.00000000000e+12");  // 999999999999.95
    EXPECT_EQ(digits(1234567890125, 10), "123456789013");        // half up
    EXPECT_EQ(significant_digits(mpf_class(mpf_class(2, 320) / 3)), "0.666666666667");
    mpf_class huge(1, 320);
    mpf_mul_2exp(huge.get_mpf_t(), huge.get_mpf_t(), 100000);
    EXPECT_EQ(significant_digits(huge), "9.99002093014e+30102");
}

TEST(EdgeCounts, RejectsSizesOutsideTheLimit) {
    EXPECT_THROW(essential_graphs_by_edges(-1), std::invalid_argument);
    EXPECT_THROW(dags_by_edges(edge_triangle_limit + 1), std::invalid_argument);
}

}  // namespace
}  // namespace pellimor
