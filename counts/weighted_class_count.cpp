#include "counts/weighted_class_count.hpp"

#include <gmp.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "util/setup_stopped.hpp"

// With t = log y, every quantity is held as the jet (f, df/dt, d2f/dt2), so
// products follow (fg)' = f'g + fg', (fg)'' = f''g + 2f'g' + fg''. At one y,
// with V_{k,m} = W_{k,m}(y) / k! and E_n = EG_n(y) / n! (edge_counts.cpp):
//   k V_{k,m} = sum_b U_{b,m} V_{k-b,m},  U_{b,m} = y^C(b,2) (1 + y^b)^m / (b-1)!,
//   E_n = sum_k (-1)^(k+1) V_{k,n-k} E_{n-k}.
// The columns m are taken in increasing order: E_m is complete once every
// column below m has added its terms, and column m then adds its own to
// E_(m+k), so one column is held at a time. The jet of U: with c = C(b,2),
// (y^c)' = c y^c, (y^c)'' = c^2 y^c, and h = (1 + y^b)^m has
// h' = h g, h'' = h (g^2 + g'), g = m b y^b / (1 + y^b), g' = b g / (1 + y^b).
// Blocks of b vertices are left out once C(n, b) y^C(b,2) is below 2^-(bits
// + 64) (each term of W is at most that share of the one with b one-vertex
// blocks instead).

namespace pellimor {

namespace {

class Jet {
  public:
    explicit Jet(mp_bitcnt_t bits) {
        for (auto& x : f_) {
            mpf_init2(x, bits);
        }
    }
    ~Jet() {
        for (auto& x : f_) {
            mpf_clear(x);
        }
    }
    Jet(const Jet&) = delete;
    Jet& operator=(const Jet&) = delete;
    Jet(Jet&& other) noexcept {
        for (int i = 0; i < 3; ++i) {
            mpf_init2(f_[i], mpf_get_prec(other.f_[i]));
            mpf_swap(f_[i], other.f_[i]);
        }
    }

    mpf_t& operator[](int i) { return f_[i]; }
    const mpf_t& operator[](int i) const { return f_[i]; }

    void set_zero() {
        for (auto& x : f_) {
            mpf_set_ui(x, 0);
        }
    }

  private:
    mpf_t f_[3];
};

// Scratch for jet products.
struct Work {
    explicit Work(mp_bitcnt_t bits) {
        for (auto& x : t) {
            mpf_init2(x, bits);
        }
    }
    ~Work() {
        for (auto& x : t) {
            mpf_clear(x);
        }
    }
    Work(const Work&) = delete;
    Work& operator=(const Work&) = delete;
    mpf_t t[3];
};

// out += sign * a * b (out distinct from a and b).
void add_product(Jet& out, const Jet& a, const Jet& b, bool negative, Work& w) {
    mpf_mul(w.t[0], a[0], b[0]);
    auto add = negative ? mpf_sub : mpf_add;
    add(out[0], out[0], w.t[0]);
    mpf_mul(w.t[0], a[1], b[0]);
    mpf_mul(w.t[1], a[0], b[1]);
    mpf_add(w.t[0], w.t[0], w.t[1]);
    add(out[1], out[1], w.t[0]);
    mpf_mul(w.t[0], a[2], b[0]);
    mpf_mul(w.t[1], a[1], b[1]);
    mpf_mul_2exp(w.t[1], w.t[1], 1);
    mpf_add(w.t[0], w.t[0], w.t[1]);
    mpf_mul(w.t[1], a[0], b[2]);
    mpf_add(w.t[0], w.t[0], w.t[1]);
    add(out[2], out[2], w.t[0]);
}

void scale(Jet& x, const mpf_t factor) {
    for (int i = 0; i < 3; ++i) {
        mpf_mul(x[i], x[i], factor);
    }
}

WeightedClassCount evaluate(int n, double y, mp_bitcnt_t bits, const std::atomic<bool>* stop) {
    // Largest block size kept.
    const double log_y = std::log(y);
    int largest_block = std::max(n, 1);
    for (int b = 2; b <= n; ++b) {
        const double log_term = std::lgamma(n + 1.0) - std::lgamma(b + 1.0) -
                                std::lgamma(n - b + 1.0) + 0.5 * b * (b - 1) * log_y;
        if (log_term < -(static_cast<double>(bits) + 64) * std::log(2.0)) {
            largest_block = b - 1;
            break;
        }
    }
    Work w(bits);
    mpf_t yv, yb, q, g, tmp, inv;
    for (auto* x : {&yv, &yb, &q, &g, &tmp, &inv}) {
        mpf_init2(*x, bits);
    }
    mpf_set_d(yv, y);
    std::vector<Jet> sums;  // n! E_n accumulating, as E_n
    sums.reserve(static_cast<std::size_t>(n) + 1);
    for (int i = 0; i <= n; ++i) {
        sums.emplace_back(bits);
        sums.back().set_zero();
    }
    mpf_set_ui(sums[0][0], 1);
    std::vector<Jet> u;
    std::vector<Jet> v;
    for (int b = 0; b <= largest_block; ++b) {
        u.emplace_back(bits);
    }
    for (int k = 0; k <= n; ++k) {
        v.emplace_back(bits);
    }
    Jet term(bits);
    for (int m = 0; m < n; ++m) {
        if (stop != nullptr && (m & 15) == 0 && stop->load(std::memory_order_relaxed)) {
            for (auto* x : {&yv, &yb, &q, &g, &tmp, &inv}) {
                mpf_clear(*x);
            }
            throw SetupStopped();
        }
        const Jet& e = sums[static_cast<std::size_t>(m)];
        const int top = n - m;
        const int blocks = std::min(largest_block, top);
        // U_{b,m} for b = 1 .. blocks.
        mpf_set_ui(yb, 1);
        for (int b = 1; b <= blocks; ++b) {
            mpf_mul(yb, yb, yv);  // y^b
            Jet& ub = u[static_cast<std::size_t>(b)];
            // h = (1 + y^b)^m, g = m b y^b / (1 + y^b)
            mpf_add_ui(q, yb, 1);
            mpf_pow_ui(ub[0], q, static_cast<unsigned long>(m));
            mpf_div(g, yb, q);
            mpf_mul_ui(g, g, static_cast<unsigned long>(m) * static_cast<unsigned long>(b));
            mpf_mul(ub[1], ub[0], g);
            // h'' = h (g^2 + g'), g' = b g / (1 + y^b)
            mpf_mul(tmp, g, g);
            mpf_div(inv, g, q);
            mpf_mul_ui(inv, inv, static_cast<unsigned long>(b));
            mpf_add(tmp, tmp, inv);
            mpf_mul(ub[2], ub[0], tmp);
            // times y^c / (b - 1)!: (y^c)' = c y^c, (y^c)'' = c^2 y^c
            const unsigned long c = static_cast<unsigned long>(b) * (b - 1) / 2;
            mpf_pow_ui(tmp, yv, c);
            for (int j = 2; j < b; ++j) {
                mpf_div_ui(tmp, tmp, static_cast<unsigned long>(j));
            }
            // (y^c h)'' = c^2 y^c h + 2 c y^c h' + y^c h''
            mpf_mul_ui(inv, ub[1], 2 * c);
            mpf_add(ub[2], ub[2], inv);
            mpf_mul_ui(inv, ub[0], c * c);
            mpf_add(ub[2], ub[2], inv);
            mpf_mul_ui(inv, ub[0], c);
            mpf_add(ub[1], ub[1], inv);
            scale(ub, tmp);
        }
        // V_{k,m}, k = 0 .. top, and its terms of E_(m+k).
        v[0].set_zero();
        mpf_set_ui(v[0][0], 1);
        for (int k = 1; k <= top; ++k) {
            Jet& vk = v[static_cast<std::size_t>(k)];
            vk.set_zero();
            for (int b = 1; b <= std::min(k, blocks); ++b) {
                add_product(vk, u[static_cast<std::size_t>(b)], v[static_cast<std::size_t>(k - b)],
                            false, w);
            }
            for (int i = 0; i < 3; ++i) {
                mpf_div_ui(vk[i], vk[i], static_cast<unsigned long>(k));
            }
            // E_(m+k) += (-1)^(k+1) V_{k,m} E_m
            term.set_zero();
            add_product(term, vk, e, false, w);
            Jet& target = sums[static_cast<std::size_t>(m + k)];
            for (int i = 0; i < 3; ++i) {
                if (k % 2 == 1) {
                    mpf_add(target[i], target[i], term[i]);
                } else {
                    mpf_sub(target[i], target[i], term[i]);
                }
            }
        }
    }
    const Jet& e = sums[static_cast<std::size_t>(n)];
    WeightedClassCount result;
    if (mpf_sgn(e[0]) <= 0) {
        result.log_count = std::nan("");  // lost to cancellation: not even the sign is right
    } else {
        long exp0 = 0;
        const double mantissa = mpf_get_d_2exp(&exp0, e[0]);
        result.log_count =
            std::log(mantissa) + static_cast<double>(exp0) * std::log(2.0) + std::lgamma(n + 1.0);
        mpf_div(tmp, e[1], e[0]);
        const double mean = mpf_get_d(tmp);
        mpf_div(tmp, e[2], e[0]);
        result.mean_edges = mean;
        result.variance_edges = mpf_get_d(tmp) - mean * mean;
    }
    for (auto* x : {&yv, &yb, &q, &g, &tmp, &inv}) {
        mpf_clear(*x);
    }
    return result;
}

bool agree(const WeightedClassCount& a, const WeightedClassCount& b) {
    return std::abs(a.log_count - b.log_count) <= 1e-12 * std::max(1.0, std::abs(b.log_count)) &&
           std::abs(a.mean_edges - b.mean_edges) <= 1e-10 * std::max(1.0, b.mean_edges) &&
           std::abs(a.variance_edges - b.variance_edges) <= 1e-7 * std::max(1.0, b.variance_edges);
}

}  // namespace

WeightedClassCount weighted_class_count(int n, double y, const std::atomic<bool>* stop) {
    if (n < 0 || !(y > 0) || !std::isfinite(y)) {
        throw std::invalid_argument("weighted class counts need n >= 0 and y > 0");
    }
    // The rounding errors of the alternating sums feed each other from row
    // to row, so no single sum's cancellation tells how many bits the result
    // keeps: it is taken at b and 2b bits, with b doubled until both agree.
    mp_bitcnt_t bits = 64 + static_cast<mp_bitcnt_t>(n);
    WeightedClassCount coarse = evaluate(n, y, bits, stop);
    for (;;) {
        bits *= 2;
        const WeightedClassCount fine = evaluate(n, y, bits, stop);
        if (agree(coarse, fine)) {
            return fine;
        }
        coarse = fine;
    }
}

}  // namespace pellimor
