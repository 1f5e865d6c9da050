#include "counts/exact_counts.hpp"

#include <cmath>

namespace pellimor {

ExactCounts exact_counts_up_to(int n) {
    ExactCounts counts;
    counts.dags.assign(static_cast<std::size_t>(n) + 1, 0);
    counts.essential_dags.assign(static_cast<std::size_t>(n) + 1, 0);
    counts.dags[0] = 1;
    counts.essential_dags[0] = 1;
    mpz_class binomial;
    mpz_class term;
    // power[rest] = (2^rest - rest)^(m - rest) at step m, one factor more
    // each step.
    std::vector<mpz_class> base(static_cast<std::size_t>(n) + 1);
    std::vector<mpz_class> power(static_cast<std::size_t>(n) + 1, 1);
    for (int rest = 0; rest <= n; ++rest) {
        mpz_ui_pow_ui(base[static_cast<std::size_t>(rest)].get_mpz_t(), 2,
                      static_cast<unsigned long>(rest));
        base[static_cast<std::size_t>(rest)] -= rest;
    }
    for (int m = 1; m <= n; ++m) {
        for (int rest = 0; rest < m; ++rest) {
            power[static_cast<std::size_t>(rest)] *= base[static_cast<std::size_t>(rest)];
        }
        mpz_class dags = 0;
        mpz_class essential = 0;
        binomial = 1;
        for (int k = 1; k <= m; ++k) {
            // C(m, k) from C(m, k - 1); the division is exact.
            binomial *= m - k + 1;
            mpz_divexact_ui(binomial.get_mpz_t(), binomial.get_mpz_t(),
                            static_cast<unsigned long>(k));
            const int rest = m - k;
            const auto rest_index = static_cast<std::size_t>(rest);

            term = binomial * counts.dags[rest_index];
            mpz_mul_2exp(term.get_mpz_t(), term.get_mpz_t(), static_cast<mp_bitcnt_t>(k) * rest);
            if (k % 2 == 1) {
                dags += term;
            } else {
                dags -= term;
            }

            // (2^rest - rest)^k
            term = binomial * power[rest_index];
            term *= counts.essential_dags[rest_index];
            if (k % 2 == 1) {
                essential += term;
            } else {
                essential -= term;
            }
        }
        counts.dags[static_cast<std::size_t>(m)] = dags;
        counts.essential_dags[static_cast<std::size_t>(m)] = essential;
    }
    return counts;
}

namespace {

// Both counts grow like n! 2^(n(n-1)/2) / growth^n times a constant; dividing
// by n! 2^(n(n-1)/2) turns the recurrence into
//   b(n) = sum_k (-1)^(k+1) b(n-k) factor(n, k) / (k! 2^(k(k-1)/2)),
// with factor = 1 for a(n) and (1 - (n-k) / 2^(n-k))^k for e(n), and
// multiplying b(n) by growth^n keeps it near 1 for every n.
constexpr long double growth = 1.488078545659;
// Terms beyond this k are below 1e-250 of the first and cannot change a double.
constexpr int term_limit = 40;

long double essential_factor(int rest, int k) {
    // (1 - rest / 2^rest)^k; 1 for rest = 0 and tiny corrections for large rest.
    // From rest = 72 on, rest / 2^rest < 2^-65, half the spacing of long
    // doubles below 1, so 1 - rest / 2^rest rounds to 1 and so does its
    // power: skipping powl there changes no bit and saves nearly all the
    // time at large n (a stopped run's summary must not wait on it).
    if (rest >= 72) {
        return 1.0L;
    }
    const long double share =
        static_cast<long double>(rest) / std::exp2(static_cast<long double>(rest));
    return std::pow(1.0L - share, static_cast<long double>(k));
}

double log10_count(int n, bool essential) {
    std::vector<long double> scaled(static_cast<std::size_t>(n) + 1, 0.0L);
    scaled[0] = 1;
    std::vector<long double> weight(term_limit + 1, 0.0L);
    // weight[k] = growth^k / (k! 2^(k(k-1)/2))
    weight[0] = 1;
    for (int k = 1; k <= term_limit; ++k) {
        weight[static_cast<std::size_t>(k)] = weight[static_cast<std::size_t>(k - 1)] * growth / k /
                                              std::exp2(static_cast<long double>(k - 1));
    }
    for (int m = 1; m <= n; ++m) {
        long double sum = 0;
        for (int k = 1; k <= m && k <= term_limit; ++k) {
            long double term =
                scaled[static_cast<std::size_t>(m - k)] * weight[static_cast<std::size_t>(k)];
            if (essential) {
                term *= essential_factor(m - k, k);
            }
            sum += k % 2 == 1 ? term : -term;
        }
        scaled[static_cast<std::size_t>(m)] = sum;
    }
    const long double nn = n;
    const long double log10_two = std::log10(2.0L);
    const long double log10_factorial = std::lgamma(nn + 1) / std::log(10.0L);
    return static_cast<double>(std::log10(scaled[static_cast<std::size_t>(n)]) -
                               nn * std::log10(growth) + log10_factorial +
                               nn * (nn - 1) / 2 * log10_two);
}

}  // namespace

double log10_dag_count(int n) {
    return log10_count(n, false);
}

double log10_essential_dag_count(int n) {
    return log10_count(n, true);
}

double log10_of(const mpz_class& value) {
    // value = mantissa * 2^exponent with mantissa in [0.5, 1).
    long exponent = 0;
    const double mantissa = mpz_get_d_2exp(&exponent, value.get_mpz_t());
    return std::log10(mantissa) + static_cast<double>(exponent) * std::log10(2.0);
}

}  // namespace pellimor
