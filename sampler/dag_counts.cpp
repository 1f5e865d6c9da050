#include "sampler/dag_counts.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

// Scaled counts. With b(m) = a(m) / (m! 2^{m(m-1)/2}) and b(0) = 1, the
// recurrence becomes one of numbers near 1: the binomial and the powers of 2
// cancel into w_k = 1 / (k! 2^{k(k-1)/2}), and
//
//   a(m, k) / a(m) = q_m(k) = (b(m-k) / b(m)) w_k Z(m-k, k),
//   Z(j, k) = sum_{s=1..j} (1 - 2^-k)^s q_j(s),  Z(0, k) = 1
//
// (the k = m term, with Z(0, m) = 1, is the single DAG without arrows). Since
// the q_m(k) sum to 1, b(m) / b(m-1) = T(m) = sum_k (b(m-k) / b(m-1)) w_k
// Z(m-k, k), and the ratios rho(j) = b(j-1) / b(j) = 1 / T(j) give every
// b(m-k) / b(m-1) as a product of at most k - 1 of them. rho rises from 1 to
// about 1.488 (b(m) decays like 1.488^-m), so nothing overflows or underflows
// for moderate k and each q comes with a relative rounding error of a few
// units in the last place.
//
// Truncation. Sums over k and s stop at K = max_layer. As Z <= 1 and each
// rho(j) <= rho_max, q_m(k) <= rho_max^k w_k, so the share of DAGs with more
// than K sources is at most delta = sum_{k>K} rho_max^k w_k, for every m. A
// next-layer choice weights the same q_m(s) by (1 - 2^-k)^s, which decreases
// in s, so its mass beyond K is at most delta too. Dropping that mass shifts
// the next recurrence steps by a relative amount of order delta each, so q_m
// moves by O(m delta) relative, and a draw of at most n layer choices is
// within O(n^2 delta) of uniform in total variation. With K = 16, delta is
// about 4e-51: below 1e-40 per draw for every n <= 10000.

namespace pellimor {

namespace {

int layer_limit(int n, int max_layer) {
    if (n < 1) {
        throw std::invalid_argument("DAG tables need n >= 1, got " + std::to_string(n));
    }
    if (max_layer < 1) {
        throw std::invalid_argument("DAG tables need max_layer >= 1, got " +
                                    std::to_string(max_layer));
    }
    return std::min(n, max_layer);
}

}  // namespace

DagCounts::DagCounts(int n, const std::atomic<bool>* stop, int max_layer)
    : n_(n),
      k_max_(layer_limit(n, max_layer)),
      stride_(static_cast<std::size_t>(std::max(k_max_, 4)) + 1),
      log_count_(static_cast<std::size_t>(n) + 1, 0.0),
      share_((static_cast<std::size_t>(n) + 1) * stride_, 0.0),
      norm_((static_cast<std::size_t>(n) + 1) * stride_, 0.0),
      power_(stride_ * stride_, 0.0) {
    const int K = k_max_;

    // w_k = 1 / (k! 2^{k(k-1)/2}): w_k = w_{k-1} / (k 2^{k-1}). Underflows
    // gracefully to 0 for k beyond 40 or so, where the shares are 0 anyway.
    std::vector<double> w(stride_, 0.0);
    w[1] = 1;
    for (int k = 2; k <= K; ++k) {
        w[k] = std::ldexp(w[k - 1] / k, -(k - 1));
    }
    for (int k = 1; k <= K; ++k) {
        double* row = power_.data() + static_cast<std::size_t>(k) * stride_;
        const double keep = 1 - std::ldexp(1.0, -k);
        row[0] = 1;
        for (int s = 1; s <= K; ++s) {
            row[s] = row[s - 1] * keep;
        }
    }

    std::fill(norm_.begin(), norm_.begin() + static_cast<std::ptrdiff_t>(stride_), 1.0);
    std::vector<double> rho(static_cast<std::size_t>(n) + 1, 1.0);
    std::vector<double> term(stride_, 0.0);
    double log_b = 0;
    double log_factorial = 0;
    double rho_max = 1;
    for (int m = 1; m <= n; ++m) {
        if (stop != nullptr && (m & 255) == 0 && stop->load(std::memory_order_relaxed)) {
            throw SetupStopped();
        }
        const int top = std::min(m, K);
        double ratio = 1;  // b(m-k) / b(m-1)
        double total = 0;
        for (int k = 1; k <= top; ++k) {
            if (k > 1) {
                ratio *= rho[static_cast<std::size_t>(m - k + 1)];
            }
            term[k] = ratio * w[k] * norm_row(m - k)[k];
            total += term[k];
        }
        rho[static_cast<std::size_t>(m)] = 1 / total;
        rho_max = std::max(rho_max, 1 / total);
        log_b += std::log(total);
        log_factorial += std::log(static_cast<double>(m));
        log_count_[static_cast<std::size_t>(m)] =
            log_factorial + 0.5 * m * (m - 1.0) * std::numbers::ln2 + log_b;

        double* q = share_.data() + static_cast<std::size_t>(m) * stride_;
        for (int k = 1; k <= top; ++k) {
            q[k] = term[k] / total;
        }
        // Summed in increasing s, the order next_layer_size() walks in.
        double* z = norm_.data() + static_cast<std::size_t>(m) * stride_;
        for (int k = 1; k <= K; ++k) {
            const double* p = power_row(k);
            double sum = 0;
            for (int s = 1; s <= top; ++s) {
                sum += p[s] * q[s];
            }
            z[k] = sum;
        }
    }

    const double* q = share_row(n);
    first_norm_ = 0;
    for (int k = 1; k <= K; ++k) {
        first_norm_ += q[k];
    }

    // delta = sum_{k>K} rho_max^k w_k; the terms fall faster than by half
    // each, so thirty of them bound the sum far below double resolution.
    dropped_bound_ = 0;
    if (K < n) {
        double wk = w[K];
        double power = std::pow(rho_max, K);
        for (int k = K + 1; k <= K + 30; ++k) {
            wk = std::ldexp(wk / k, -(k - 1));
            power *= rho_max;
            dropped_bound_ += power * wk;
        }
    }
}

std::size_t DagCounts::bytes_needed(int n) {
    const std::size_t k =
        static_cast<std::size_t>(std::max(std::min(std::max(n, 1), default_max_layer), 4)) + 1;
    const std::size_t rows = static_cast<std::size_t>(std::max(n, 1)) + 1;
    // log counts, shares and normalisers, powers; during the build also rho
    // and two rows of scratch.
    return sizeof(double) * (rows + 2 * rows * k + k * k + rows + 2 * k) + sizeof(DagCounts);
}

}  // namespace pellimor
