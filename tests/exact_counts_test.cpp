#include "counts/exact_counts.hpp"

#include <gtest/gtest.h>

#include <string>

#include "stats/known_counts.hpp"

namespace pellimor {
namespace {

TEST(ExactCounts, MatchTheBuiltInTable) {
    const ExactCounts counts = exact_counts_up_to(known_counts_limit);
    EXPECT_EQ(counts.dags[0], 1);
    EXPECT_EQ(counts.essential_dags[0], 1);
    for (int n = 1; n <= known_counts_limit; ++n) {
        const KnownCounts known = *known_counts(n);
        EXPECT_EQ(counts.dags[n].get_str(), known.dags) << "n = " << n;
        EXPECT_EQ(counts.essential_dags[n].get_str(), known.essential_dags) << "n = " << n;
    }
    EXPECT_FALSE(known_counts(0));
    EXPECT_FALSE(known_counts(known_counts_limit + 1));
}

// A graph is an essential graph (an essential DAG) exactly when each of its
// components is, so each connected column follows from its total by the
// exponential formula; this catches a digit lost in copying the table.
TEST(KnownCounts, ConnectedColumnsFollowFromTotals) {
    const auto check = [](auto total_of, auto connected_of, const char* what) {
        std::vector<mpz_class> total(known_counts_limit + 1, 1);
        std::vector<mpz_class> connected(known_counts_limit + 1, 0);
        for (int n = 1; n <= known_counts_limit; ++n) {
            total[n] = mpz_class(std::string(total_of(*known_counts(n))));
            // Graphs by the component of vertex 0, of size k.
            mpz_class c = total[n];
            mpz_class binomial = 1;  // C(n - 1, k - 1)
            for (int k = 1; k < n; ++k) {
                c -= binomial * connected[k] * total[n - k];
                binomial = binomial * (n - k) / k;
            }
            connected[n] = c;
            EXPECT_EQ(c.get_str(), connected_of(*known_counts(n))) << what << ", n = " << n;
        }
    };
    check([](const KnownCounts& k) { return k.essential_graphs; },
          [](const KnownCounts& k) { return k.connected_essential_graphs; }, "essential graphs");
    check([](const KnownCounts& k) { return k.essential_dags; },
          [](const KnownCounts& k) { return k.connected_essential_dags; }, "essential DAGs");
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
