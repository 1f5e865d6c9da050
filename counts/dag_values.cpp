#include "counts/dag_values.hpp"

#include "counts/exact_counts.hpp"
#include "counts/significant_digits.hpp"

namespace pellimor {

namespace {

CountValue ratio(const mpz_class& numerator, const mpz_class& denominator) {
    mpq_class q(numerator, denominator);
    q.canonicalize();
    return {q.get_d(), significant_digits(q)};
}

}  // namespace

DagCountsWithEdges dag_counts_with_edges(int n) {
    const auto size = static_cast<std::size_t>(n) + 1;
    DagCountsWithEdges t{std::vector<mpz_class>(size, 0), std::vector<mpz_class>(size, 0),
                         std::vector<mpz_class>(size, 0), std::vector<mpz_class>(size, 0)};
    t.dags[0] = 1;
    mpz_class binomial;
    mpz_class value;
    mpz_class first;
    mpz_class second;
    for (int m = 1; m <= n; ++m) {
        mpz_class a = 0;
        mpz_class a1 = 0;
        mpz_class a2 = 0;
        binomial = 1;
        for (int k = 1; k <= m; ++k) {
            binomial *= m - k + 1;  // C(m, k) from C(m, k - 1)
            mpz_divexact_ui(binomial.get_mpz_t(), binomial.get_mpz_t(),
                            static_cast<unsigned long>(k));
            const auto rest = static_cast<std::size_t>(m - k);
            const long arrows = static_cast<long>(k) * (m - k);
            // 4 (1 + y)^arrows and its derivatives at 1 are 2^(arrows + 2),
            // arrows 2^(arrows + 1) and arrows (arrows - 1) 2^arrows; times
            // a_rest and its derivatives, as shifts: 4 times (P a)(1),
            // (P a)'(1) and (P a)''(1).
            const auto shift = static_cast<mp_bitcnt_t>(arrows);
            const mpz_class& a_rest = t.dags[rest];
            const mpz_class& a1_rest = t.edge_sum[rest];
            value = a_rest;
            mpz_mul_2exp(value.get_mpz_t(), value.get_mpz_t(), shift + 2);
            first = a_rest * arrows + 2 * a1_rest;
            mpz_mul_2exp(first.get_mpz_t(), first.get_mpz_t(), shift + 1);
            second =
                a_rest * (arrows * (arrows - 1)) + 4 * arrows * a1_rest + 4 * t.edge_pair_sum[rest];
            mpz_mul_2exp(second.get_mpz_t(), second.get_mpz_t(), shift);
            const int sign = k % 2 == 1 ? 1 : -1;
            a += sign * binomial * value;
            a1 += sign * binomial * first;
            a2 += sign * binomial * second;
        }
        const auto index = static_cast<std::size_t>(m);
        mpz_divexact_ui(t.dags[index].get_mpz_t(), a.get_mpz_t(), 4);
        mpz_divexact_ui(t.edge_sum[index].get_mpz_t(), a1.get_mpz_t(), 4);
        mpz_divexact_ui(t.edge_pair_sum[index].get_mpz_t(), a2.get_mpz_t(), 4);
        // The DAGs whose vertex 1 lies in a component of k < m vertices.
        mpz_class split = 0;
        binomial = 1;  // C(m - 1, k - 1)
        for (int k = 1; k < m; ++k) {
            split += binomial * t.connected_dags[static_cast<std::size_t>(k)] *
                     t.dags[static_cast<std::size_t>(m - k)];
            binomial *= m - k;
            mpz_divexact_ui(binomial.get_mpz_t(), binomial.get_mpz_t(),
                            static_cast<unsigned long>(k));
        }
        t.connected_dags[index] = t.dags[index] - split;
    }
    return t;
}

std::optional<DagValues> dag_values(int n) {
    if (n < 1 || n > exact_count_limit) {
        return std::nullopt;
    }
    const DagCountsWithEdges t = dag_counts_with_edges(n);
    const auto i = static_cast<std::size_t>(n);
    // variance = (a'' a + a' a - a'^2) / a^2.
    const mpz_class& a = t.dags[i];
    const mpz_class& a1 = t.edge_sum[i];
    return DagValues{ratio(t.connected_dags[i], a), ratio(a1, a),
                     ratio(t.edge_pair_sum[i] * a + a1 * a - a1 * a1, a * a)};
}

}  // namespace pellimor
