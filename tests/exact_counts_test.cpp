#include "counts/exact_counts.hpp"

#include <gtest/gtest.h>

#include <string>

#include "counts/count_table.hpp"
#include "exact_counts.hpp"

namespace pellimor {
namespace {

// Every count of the table for n <= 13, the end of the published
// enumeration of classes, and the shares from them.
TEST(CountRows, MatchPublishedCounts) {
    const std::vector<CountRow> rows = count_rows(testing::exact_counts_max_n);
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(testing::exact_counts_max_n));
    for (const CountRow& row : rows) {
        const auto& published = testing::exact_counts_for(row.n);
        EXPECT_TRUE(row.exact);
        EXPECT_EQ(row.dags, published.dags) << row.n;
        EXPECT_EQ(row.essential_dags, published.essential_dags) << row.n;
        EXPECT_EQ(row.essential_graphs, published.essential_graphs) << row.n;
        EXPECT_EQ(row.connected_essential_graphs, published.connected_essential_graphs) << row.n;
        EXPECT_EQ(row.connected_essential_dags, published.connected_essential_dags) << row.n;
        EXPECT_NEAR(row.no_lines.value,
                    testing::as_double(published.essential_dags) /
                        testing::as_double(published.essential_graphs),
                    1e-15);
    }
    // 59 / 185 and 185 / 543 to 12 significant digits.
    EXPECT_EQ(rows[3].no_lines.text, "0.318918918919");
    EXPECT_EQ(rows[3].classes_per_dag.text, "0.340699815838");
}

// A second way to count DAGs: by the k sources (vertices without parents),
//   a(m, k) = C(m, k) sum_s (2^k - 1)^s 2^(k (m - k - s)) a(m - k, s),
// where s counts the sources of what remains (each needs a parent among the
// k), and a(m) = sum_k a(m, k).
TEST(ExactCounts, DagsAgreeWithCountBySources) {
    const int limit = 30;
    std::vector<std::vector<mpz_class>> by_sources(limit + 1, std::vector<mpz_class>(limit + 1, 0));
    by_sources[0][0] = 1;
    const ExactCounts counts = exact_counts_up_to(limit);
    for (int m = 1; m <= limit; ++m) {
        mpz_class total = 0;
        for (int k = 1; k <= m; ++k) {
            mpz_class binomial;
            mpz_bin_uiui(binomial.get_mpz_t(), m, k);
            mpz_class sum = m == k ? 1 : 0;
            for (int s = 1; s <= m - k; ++s) {
                mpz_class all_k, each;
                mpz_ui_pow_ui(all_k.get_mpz_t(), 2, k);
                mpz_pow_ui(each.get_mpz_t(), mpz_class(all_k - 1).get_mpz_t(), s);
                mpz_class rest;
                mpz_ui_pow_ui(rest.get_mpz_t(), 2, static_cast<unsigned long>(k) * (m - k - s));
                sum += each * rest * by_sources[m - k][s];
            }
            by_sources[m][k] = binomial * sum;
            total += by_sources[m][k];
        }
        EXPECT_EQ(total, counts.dags[m]) << "n = " << m;
    }
    EXPECT_EQ(counts.dags[30].get_str().size(), 159u);
}

TEST(ExactCounts, LogarithmsMatchExactValues) {
    const ExactCounts counts = exact_counts_up_to(exact_count_limit);
    for (int n : {0, 1, 2, 5, 13, 60, 150, exact_count_limit}) {
        const double dags = log10_of(counts.dags[n]);
        const double essential = log10_of(counts.essential_dags[n]);
        EXPECT_NEAR(log10_dag_count(n), dags, 1e-12 * (1 + dags)) << "n = " << n;
        EXPECT_NEAR(log10_essential_dag_count(n), essential, 1e-12 * (1 + essential))
            << "n = " << n;
    }
}

}  // namespace
}  // namespace pellimor
