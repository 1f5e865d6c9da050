#include "sampler/weighted_dag_tables.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>

#include "sampler/dag_counts.hpp"  // SetupStopped

// Scaled counts, as in DagCounts with x = 1 + y in place of 2. With
// b(m) = a_m(y) / (m! x^(m(m-1)/2)),
//
//   q_m(k) = (b(m-k) / b(m)) w_k Z(m-k, k),  w_k = 1 / (k! x^(k(k-1)/2)),
//   Z(j, k) = sum_{s=1..j} pi_k^s q_j(s),  Z(0, k) = 1,
//
// since x^(k(m-k) + (m-k)(m-k-1)/2 - m(m-1)/2) = x^(-k(k-1)/2). The q_m(k)
// sum to 1, so T(m) = b(m) / b(m-1) = sum_k (b(m-k) / b(m-1)) w_k Z(m-k, k),
// and b(m-k) / b(m-1) is a product of k - 1 ratios 1 / T(j). For small y,
// b(m) is close to 1 / m!, so these products reach about 2^m / m and w_k
// falls to about 1 / k!: long double holds both for every n <= 500.

namespace pellimor {

namespace {

using Real = long double;

void check_arguments(int n, double y) {
    if (n < 1 || n > WeightedDagTables::max_vertices) {
        throw std::invalid_argument("weighted DAG tables need 1 <= n <= " +
                                    std::to_string(WeightedDagTables::max_vertices) + ", got " +
                                    std::to_string(n));
    }
    if (!(y > 0) || !std::isfinite(y)) {
        throw std::invalid_argument("weighted DAG tables need a weight y > 0");
    }
}

// Runs the recurrence for m = 1 .. n. Fills z (Z(m, k) for m + k <= n, row
// stride n + 1) and, when given, share (q_m(k) as doubles). Returns log a_n(y).
double run_recurrence(int n, double y, const std::atomic<bool>* stop, std::vector<Real>& z,
                      std::vector<double>* share) {
    const std::size_t stride = static_cast<std::size_t>(n) + 1;
    const Real log_x = std::log1p(static_cast<Real>(y));
    std::vector<Real> w(stride, 0);
    std::vector<Real> keep(stride, 0);
    w[1] = 1;
    for (int k = 1; k <= n; ++k) {
        if (k > 1) {
            w[k] = w[k - 1] / k * std::exp(-(k - 1) * log_x);
        }
        keep[k] = -std::expm1(-k * log_x);
    }
    z.assign(stride * stride, 0);
    std::fill(z.begin(), z.begin() + static_cast<std::ptrdiff_t>(stride), Real{1});
    std::vector<Real> rho(stride, 1);
    std::vector<Real> term(stride, 0);
    std::vector<Real> q(stride, 0);
    Real log_b = 0;
    for (int m = 1; m <= n; ++m) {
        if (stop != nullptr && (m & 15) == 0 && stop->load(std::memory_order_relaxed)) {
            throw SetupStopped();
        }
        Real ratio = 1;  // b(m-k) / b(m-1)
        Real total = 0;
        for (int k = 1; k <= m; ++k) {
            if (k > 1) {
                ratio *= rho[static_cast<std::size_t>(m - k + 1)];
            }
            term[k] = ratio * w[k] * z[static_cast<std::size_t>(m - k) * stride + k];
            total += term[k];
        }
        rho[static_cast<std::size_t>(m)] = 1 / total;
        log_b += std::log(total);
        for (int k = 1; k <= m; ++k) {
            q[k] = term[k] / total;
            if (share != nullptr) {
                (*share)[static_cast<std::size_t>(m) * stride + k] = static_cast<double>(q[k]);
            }
        }
        // Z(m, k) is read only for m + k <= n (a layer of k before m vertices).
        Real* z_row = z.data() + static_cast<std::size_t>(m) * stride;
        for (int k = 1; k + m <= n; ++k) {
            Real power = 1;
            Real sum = 0;
            for (int s = 1; s <= m; ++s) {
                power *= keep[k];
                sum += power * q[s];
            }
            z_row[k] = sum;
        }
    }
    return static_cast<double>(std::lgamma(static_cast<Real>(n) + 1) +
                               Real{0.5} * n * (n - 1.0L) * log_x + log_b);
}

}  // namespace

WeightedDagTables::WeightedDagTables(int n, double y, const std::atomic<bool>* stop)
    : n_(n), y_(y), stride_(static_cast<std::size_t>(std::max(n, 0)) + 1) {
    check_arguments(n, y);
    share_.assign(stride_ * stride_, 0.0);
    norm_.assign(stride_ * stride_, 0.0);
    keep_.assign(stride_, 0.0);
    first_parent_term_.assign(stride_, 0.0);
    std::vector<Real> z;
    log_count_ = run_recurrence(n, y, stop, z, &share_);
    const double log_x = std::log1p(y);
    for (int k = 1; k <= n; ++k) {
        keep_[static_cast<std::size_t>(k)] = -std::expm1(-k * log_x);
        // The term parents_in_layer_before() starts from: c = 1 or c = k.
        first_parent_term_[static_cast<std::size_t>(k)] =
            y <= 1 ? k * edge_probability() * std::exp(-(k - 1) * log_x)
                   : std::exp(k * std::log(edge_probability()));
    }
    // The draw's normalisers, summed as pick() sums: a target below them
    // always finds its layer.
    for (int m = 1; m <= n; ++m) {
        for (int k = 1; k + m <= n; ++k) {
            norm_[static_cast<std::size_t>(m) * stride_ + k] =
                weight_sum(m, keep_[static_cast<std::size_t>(k)]);
        }
    }
    first_norm_ = weight_sum(n, 1.0);
}

std::size_t WeightedDagTables::bytes_needed(int n) {
    const std::size_t rows = static_cast<std::size_t>(std::max(n, 1)) + 1;
    // Shares and normalisers; during the build the long double Z table too.
    return rows * rows * (2 * sizeof(double) + sizeof(Real)) + sizeof(WeightedDagTables);
}

double WeightedDagTables::weight_sum(int m, double pi) const {
    const double* q = share_row(m);
    double power = 1;
    double sum = 0;
    for (int s = 1; s <= m; ++s) {
        power *= pi;
        sum += power * q[s];
    }
    return sum;
}

int WeightedDagTables::pick(int m, double pi, double target) const {
    const double* q = share_row(m);
    double power = 1;
    double sum = 0;
    int last = 1;
    for (int s = 1; s <= m; ++s) {
        power *= pi;
        const double weight = power * q[s];
        if (weight > 0) {
            last = s;
        }
        sum += weight;
        if (target < sum) {
            return s;
        }
    }
    return last;
}

int WeightedDagTables::parents_in_layer_before(int k, double u) const {
    // P(c) = C(k, c) pi^c (1 - pi)^(k-c) / (1 - (1 - pi)^k), pi = y / (1 + y);
    // the normaliser is pi_k. Walked from the end nearer the mass, by the
    // ratios P(c+1) / P(c) = (k - c) / (c + 1) y.
    const double target = u * keep_[static_cast<std::size_t>(k)];
    double p = first_parent_term_[static_cast<std::size_t>(k)];
    double sum = 0;
    if (y_ <= 1) {
        for (int c = 1; c < k; ++c) {
            sum += p;
            if (target < sum) {
                return c;
            }
            p *= (k - c) / (c + 1.0) * y_;
        }
        return k;
    }
    for (int c = k; c > 1; --c) {
        sum += p;
        if (target < sum) {
            return c;
        }
        p *= c / ((k - c + 1.0) * y_);
    }
    return 1;
}

double log_weighted_dag_count(int n, double y, const std::atomic<bool>* stop) {
    check_arguments(n, y);
    std::vector<Real> z;
    return run_recurrence(n, y, stop, z, nullptr);
}

double weight_for_mean_edges(int n, double edges, const std::atomic<bool>* stop) {
    const double pairs = 0.5 * n * (n - 1.0);
    if (!(edges > 0 && edges < pairs)) {
        throw std::invalid_argument("weight_for_mean_edges needs 0 < edges < n(n-1)/2");
    }
    // A start from the sparse and the uniform ends: y ~ p / 2 for few edges,
    // y = 1 at p = 1/2, with p the share of pairs joined.
    const double p = edges / pairs;
    double t = std::log(p / (2 * (1 - p) * (1 - p)));
    constexpr double h = 1e-3;
    constexpr double lowest = -40;  // y from e^-40 to e^40
    constexpr double highest = 40;
    for (int step = 0; step < 60; ++step) {
        const double below = log_weighted_dag_count(n, std::exp(t - h), stop);
        const double at = log_weighted_dag_count(n, std::exp(t), stop);
        const double above = log_weighted_dag_count(n, std::exp(t + h), stop);
        const double mean = (above - below) / (2 * h);
        const double variance = std::max((above - 2 * at + below) / (h * h), 1e-9);
        const double gap = edges - mean;
        if (std::abs(gap) < 0.01 * std::sqrt(variance) + 1e-6) {
            break;
        }
        t = std::clamp(t + std::clamp(gap / variance, -2.0, 2.0), lowest, highest);
    }
    return std::exp(t);
}

}  // namespace pellimor
