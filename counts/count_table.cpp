#include "counts/count_table.hpp"

#include <gmpxx.h>

#include <algorithm>
#include <cmath>
#include <future>
#include <mutex>
#include <optional>
#include <stdexcept>

#include "counts/class_counts.hpp"
#include "counts/exact_counts.hpp"
#include "counts/scaled_counts.hpp"
#include "counts/significant_digits.hpp"

namespace pellimor {

namespace {

CountValue value_of(const mpf_class& x) {
    return {x.get_d(), significant_digits(x)};
}

// numerator / denominator, or 0 when the denominator is 0 (no connected
// essential DAG on 2 vertices).
CountValue ratio(const mpz_class& numerator, const mpz_class& denominator) {
    if (sgn(denominator) == 0 || sgn(numerator) == 0) {
        return {0, "0"};
    }
    // The nearest double: the quotient to 55 bits and whether anything is
    // left, then rounded to 53 bits, ties to even.
    const long shift = 55 - (static_cast<long>(mpz_sizeinbase(numerator.get_mpz_t(), 2)) -
                             static_cast<long>(mpz_sizeinbase(denominator.get_mpz_t(), 2)));
    mpz_class top = numerator;
    mpz_class bottom = denominator;
    if (shift >= 0) {
        top <<= static_cast<mp_bitcnt_t>(shift);
    } else {
        bottom <<= static_cast<mp_bitcnt_t>(-shift);
    }
    mpz_class quotient;
    mpz_class rest;
    mpz_tdiv_qr(quotient.get_mpz_t(), rest.get_mpz_t(), top.get_mpz_t(), bottom.get_mpz_t());
    // quotient has 55 or 56 bits; keep 53 and round on the rest.
    const auto bits = static_cast<long>(mpz_sizeinbase(quotient.get_mpz_t(), 2));
    const long dropped = bits - 53;
    mpz_class kept;
    mpz_class low;
    mpz_tdiv_q_2exp(kept.get_mpz_t(), quotient.get_mpz_t(), static_cast<mp_bitcnt_t>(dropped));
    mpz_tdiv_r_2exp(low.get_mpz_t(), quotient.get_mpz_t(), static_cast<mp_bitcnt_t>(dropped));
    const mpz_class half = mpz_class(1) << static_cast<mp_bitcnt_t>(dropped - 1);
    if (low > half || (low == half && (sgn(rest) != 0 || mpz_odd_p(kept.get_mpz_t()) != 0))) {
        ++kept;
    }
    const double value = std::ldexp(kept.get_d(), static_cast<int>(dropped - shift));
    return {value, significant_digits(numerator, denominator)};
}

CountValue ratio(const mpf_class& numerator, const mpf_class& denominator) {
    if (sgn(denominator) == 0) {
        return {0, "0"};
    }
    return value_of(mpf_class(numerator / denominator));
}

EdgeMoments moments_of(const ScaledCounts& s, std::size_t n) {
    const mpf_class mean = s.edge_sum[n] / s.essential_graphs[n];
    // Var = E[e (e - 1)] + E[e] - E[e]^2, never below 0 but for rounding.
    mpf_class variance = s.edge_pair_sum[n] / s.essential_graphs[n] + mean - mean * mean;
    if (sgn(variance) < 0) {
        variance = 0;
    }
    return {value_of(mean), value_of(variance)};
}

void add_moments(CountRow& row, const ScaledCounts& s) {
    const EdgeMoments m = moments_of(s, static_cast<std::size_t>(row.n));
    row.mean_edges = m.mean;
    row.variance_edges = m.variance;
}

}  // namespace

namespace {

// Rows first_n .. max_n.
std::vector<CountRow> rows_between(int first_n, int max_n) {
    const ScaledCounts s = scaled_counts_up_to(max_n);
    std::vector<CountRow> rows;
    // The exact integers only when a row needs them.
    const int exact_top = first_n <= exact_count_limit ? std::min(max_n, exact_count_limit) : 0;
    // The DAG counts on a second thread, beside the classes: about half the
    // work each.
    auto dag_part = std::async(std::launch::async, [exact_top] {
        ExactCounts counts = exact_counts_up_to(exact_top);
        std::vector<mpz_class> connected = connected_from_totals(counts.essential_dags);
        return std::make_pair(std::move(counts), std::move(connected));
    });
    const ClassCounts class_counts = class_counts_up_to(exact_top);
    const auto [dag_counts, connected_dags] = dag_part.get();
    for (int n = first_n; n <= exact_top; ++n) {
        const auto i = static_cast<std::size_t>(n);
        const mpz_class& a = dag_counts.dags[i];
        const mpz_class& e = dag_counts.essential_dags[i];
        const mpz_class& g = class_counts.essential_graphs[i];
        const mpz_class& cg = class_counts.connected_essential_graphs[i];
        const mpz_class& ce = connected_dags[i];
        CountRow row;
        row.n = n;
        row.exact = true;
        row.dags = a.get_str();
        row.essential_dags = e.get_str();
        row.essential_graphs = g.get_str();
        row.connected_essential_graphs = cg.get_str();
        row.connected_essential_dags = ce.get_str();
        row.log10_dags = log10_of(a);
        row.log10_essential_dags = log10_of(e);
        row.log10_essential_graphs = log10_of(g);
        row.no_lines = ratio(e, g);
        row.connected = ratio(cg, g);
        row.connected_among_no_lines = ratio(ce, e);
        row.no_lines_among_connected = ratio(ce, cg);
        row.classes_per_dag = ratio(g, a);
        row.dags_per_class = ratio(a, g);
        add_moments(row, s);
        rows.push_back(std::move(row));
    }
    // Beyond the exact limit: count = scaled count * n! 2^C(n,2).
    mpf_class scale(1, scaled_count_precision);
    for (int n = 1; n <= max_n; ++n) {
        scale *= n;
        mpf_mul_2exp(scale.get_mpf_t(), scale.get_mpf_t(), static_cast<mp_bitcnt_t>(n - 1));
        if (n <= exact_top || n < first_n) {
            continue;
        }
        const auto i = static_cast<std::size_t>(n);
        CountRow row;
        row.n = n;
        const auto count = [&](const mpf_class& scaled) {
            return significant_digits(mpf_class(scaled * scale));
        };
        row.dags = count(s.dags[i]);
        row.essential_dags = count(s.essential_dags[i]);
        row.essential_graphs = count(s.essential_graphs[i]);
        row.connected_essential_graphs = count(s.connected_essential_graphs[i]);
        row.connected_essential_dags = count(s.connected_essential_dags[i]);
        const double log10_scale = log10_count_scale(n);
        row.log10_dags = log10_of(s.dags[i]) + log10_scale;
        row.log10_essential_dags = log10_of(s.essential_dags[i]) + log10_scale;
        row.log10_essential_graphs = log10_of(s.essential_graphs[i]) + log10_scale;
        row.no_lines = ratio(s.essential_dags[i], s.essential_graphs[i]);
        row.connected = ratio(s.connected_essential_graphs[i], s.essential_graphs[i]);
        row.connected_among_no_lines = ratio(s.connected_essential_dags[i], s.essential_dags[i]);
        row.no_lines_among_connected =
            ratio(s.connected_essential_dags[i], s.connected_essential_graphs[i]);
        row.classes_per_dag = ratio(s.essential_graphs[i], s.dags[i]);
        row.dags_per_class = ratio(s.dags[i], s.essential_graphs[i]);
        add_moments(row, s);
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace

std::vector<CountRow> count_rows(int max_n) {
    if (max_n < 0) {
        throw std::invalid_argument("count_rows needs max_n >= 0");
    }
    return rows_between(1, max_n);
}

CountRow count_row(int n) {
    if (n < 1) {
        throw std::invalid_argument("count_row needs n >= 1");
    }
    return rows_between(n, n).back();
}

EdgeMoments class_edge_moments(int n) {
    if (n < 1) {
        throw std::invalid_argument("class_edge_moments needs n >= 1");
    }
    return moments_of(scaled_counts_up_to(n), static_cast<std::size_t>(n));
}

}  // namespace pellimor
