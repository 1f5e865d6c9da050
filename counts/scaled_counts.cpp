#include "counts/scaled_counts.hpp"

#include <algorithm>
#include <cmath>

namespace pellimor {

namespace {

constexpr int term_limit = 30;
// From this m on, B_j(2^m) / 2^(j m) = 1 + (below 2^-400) for j <= term_limit.
constexpr int flat_bell_from = 500;
// Connected counts: terms with k (n - k) above this many bits are dropped.
constexpr long connected_term_bits = 720;

mpf_class number(long value) {
    return mpf_class(value, scaled_count_precision);
}

// x 2^-bits.
mpf_class halved(const mpf_class& x, unsigned long bits) {
    mpf_class r(0, scaled_count_precision);
    mpf_div_2exp(r.get_mpf_t(), x.get_mpf_t(), bits);
    return r;
}

// beta[m][j] = B_j(2^m) / 2^(j m) = sum_i S(j, i) 2^-(m (j - i)), j <= term_limit.
std::vector<std::vector<mpf_class>> flattened_bell(int n) {
    std::vector<std::vector<mpz_class>> stirling(term_limit + 1);
    stirling[0] = {1};
    for (std::size_t j = 1; j <= term_limit; ++j) {
        stirling[j].assign(j + 1, 0);
        for (std::size_t i = 1; i <= j; ++i) {
            stirling[j][i] =
                (i < j ? stirling[j - 1][i] * static_cast<unsigned long>(i) : mpz_class(0)) +
                stirling[j - 1][i - 1];
        }
    }
    const int rows = std::min(n, flat_bell_from) + 1;
    std::vector<std::vector<mpf_class>> beta(static_cast<std::size_t>(rows));
    for (int m = 0; m < rows; ++m) {
        auto& row = beta[static_cast<std::size_t>(m)];
        for (std::size_t j = 0; j <= term_limit; ++j) {
            mpf_class sum = number(0);
            for (std::size_t i = 0; i <= j; ++i) {
                sum += halved(mpf_class(stirling[j][i], scaled_count_precision),
                              static_cast<unsigned long>(m) * (j - i));
            }
            row.push_back(sum);
        }
    }
    return beta;
}

// c_n = t_n - sum_{k=1..n-1} (k/n) 2^-(k(n-k)) c_k t_{n-k}: the exponential
// formula by the component of one vertex, at this scale.
std::vector<mpf_class> connected_of(const std::vector<mpf_class>& totals) {
    std::vector<mpf_class> connected(totals.size(), number(0));
    for (std::size_t n = 1; n < totals.size(); ++n) {
        mpf_class c = totals[n];
        const long size = static_cast<long>(n);
        for (long k = 1; k < size; ++k) {
            const long bits = k * (size - k);
            if (bits > connected_term_bits) {
                // Skip to the mirror image, where the terms are large again.
                k = std::max(k, size - k - 1);
                continue;
            }
            mpf_class term = connected[static_cast<std::size_t>(k)] *
                             totals[static_cast<std::size_t>(size - k)] * number(k) / number(size);
            c -= halved(term, static_cast<unsigned long>(bits));
        }
        connected[n] = c;
    }
    return connected;
}

}  // namespace

// The recurrences, each term divided by n! 2^C(n,2) = C(n,k) [k! 2^C(k,2)]
// 2^(k m) [m! 2^C(m,2)] with m = n - k:
//   DAGs:            term k = a_m / (k! 2^C(k,2));
//   essential DAGs:  term k = e_m (1 - m 2^-m)^k / (k! 2^C(k,2));
//   essential graphs: term k = W_{k,m} EG_m / (k! 2^C(k,2) 2^(k m)), with
//   W and its derivatives at y = 1 from counts/class_counts.cpp:
//     W = B_k,  W' = C(k,2) B_{k-1} + m k B_k / 2,
//     W'' = (m k + m / 2) C(k,2) B_{k-1} + T B_{k-2} + (m^2 k^2 - m k) B_k / 4,
//   T = k(k-1)(k-2) + C(k,2) C(k-2,2), B_j = B_j(2^m); and EG' = sum of
//   W' EG + W EG', EG'' = sum of W'' EG + 2 W' EG' + W EG''.
ScaledCounts scaled_counts_up_to(int n) {
    const auto size = static_cast<std::size_t>(n) + 1;
    const std::vector<std::vector<mpf_class>> beta = flattened_bell(n);
    std::vector<mpf_class> inverse_scale;  // 1 / (k! 2^C(k,2))
    inverse_scale.push_back(number(1));
    for (long k = 1; k <= term_limit; ++k) {
        inverse_scale.push_back(
            halved(inverse_scale.back() / number(k), static_cast<unsigned long>(k - 1)));
    }
    ScaledCounts s;
    for (auto* v :
         {&s.dags, &s.essential_dags, &s.essential_graphs, &s.edge_sum, &s.edge_pair_sum}) {
        v->assign(size, number(0));
    }
    s.dags[0] = 1;
    s.essential_dags[0] = 1;
    s.essential_graphs[0] = 1;
    mpf_class w0(0, scaled_count_precision);
    mpf_class w1(0, scaled_count_precision);
    mpf_class w2(0, scaled_count_precision);
    mpf_class q(0, scaled_count_precision);
    for (std::size_t total = 1; total < size; ++total) {
        mpf_class a = number(0);
        mpf_class e = number(0);
        mpf_class g0 = number(0);
        mpf_class g1 = number(0);
        mpf_class g2 = number(0);
        const std::size_t top = std::min<std::size_t>(total, term_limit);
        for (std::size_t k = 1; k <= top; ++k) {
            const std::size_t m = total - k;
            const mpf_class& u = inverse_scale[k];
            const bool flat_row = m >= flat_bell_from;
            const auto& flat = beta[flat_row ? 0 : m];
            const long kl = static_cast<long>(k);
            const long ml = static_cast<long>(m);
            const long pairs = kl * (kl - 1) / 2;
            const long two_pairs = kl * (kl - 1) * (kl - 2) + pairs * ((kl - 2) * (kl - 3) / 2);
            const mpf_class& b0 = flat_row ? inverse_scale[0] : flat[k];
            const mpf_class& b1 = flat_row ? inverse_scale[0] : flat[k - 1];
            const mpf_class& b2 = flat_row || k < 2 ? inverse_scale[0] : flat[k - 2];
            w0 = u * b0;
            const mpf_class lower1 = halved(b1, static_cast<unsigned long>(m));
            w1 = u * (number(pairs) * lower1 + number(ml * kl) * b0 / 2);
            w2 = u * (number(pairs) * (number(ml * kl) + number(ml) / 2) * lower1 +
                      number(two_pairs) * halved(b2, 2 * static_cast<unsigned long>(m)) +
                      (number(ml * kl) * number(ml * kl) - number(ml * kl)) * b0 / 4);
            q = number(1) - halved(number(ml), static_cast<unsigned long>(m));
            mpf_pow_ui(q.get_mpf_t(), q.get_mpf_t(), static_cast<unsigned long>(k));
            const mpf_class term_a = u * s.dags[m];
            const mpf_class term_e = u * q * s.essential_dags[m];
            const mpf_class term_g0 = w0 * s.essential_graphs[m];
            const mpf_class term_g1 = w1 * s.essential_graphs[m] + w0 * s.edge_sum[m];
            const mpf_class term_g2 =
                w2 * s.essential_graphs[m] + 2 * w1 * s.edge_sum[m] + w0 * s.edge_pair_sum[m];
            if (k % 2 == 1) {
                a += term_a;
                e += term_e;
                g0 += term_g0;
                g1 += term_g1;
                g2 += term_g2;
            } else {
                a -= term_a;
                e -= term_e;
                g0 -= term_g0;
                g1 -= term_g1;
                g2 -= term_g2;
            }
        }
        s.dags[total] = a;
        s.essential_dags[total] = e;
        s.essential_graphs[total] = g0;
        s.edge_sum[total] = g1;
        s.edge_pair_sum[total] = g2;
    }
    s.connected_essential_graphs = connected_of(s.essential_graphs);
    s.connected_essential_dags = connected_of(s.essential_dags);
    return s;
}

double log10_count_scale(int n) {
    const long double nn = n;
    return static_cast<double>(std::lgamma(nn + 1) / std::log(10.0L) +
                               nn * (nn - 1) / 2 * std::log10(2.0L));
}

double log10_of(const mpf_class& value) {
    long exponent = 0;
    const double mantissa = mpf_get_d_2exp(&exponent, value.get_mpf_t());
    return std::log10(mantissa) + static_cast<double>(exponent) * std::log10(2.0);
}

}  // namespace pellimor
