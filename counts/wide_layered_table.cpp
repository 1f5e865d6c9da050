#include "counts/wide_layered_table.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>
#include <stdexcept>
#include <string>

#include "counts/layered_row.hpp"
#include "util/setup_stopped.hpp"

// The recurrence is that of counts/layered_table.cpp:
//   V(m, k) = sum over shapes of k vertices of w Phi_m(Q),
//   Phi_m(Q) = sum_k' T(m, k') (Q - 1)^k' Q^(m - k'),
//   T(n, k) = C(n, k) sum_f (-1)^f C(m, f) C(k, f) f! y^f V(m - f, k - f),
// here on numbers of bits + 64 bits (the 64 guard the rounding of the long
// products and of Q - 1, which loses log2(1 / (Q - 1)) bits).
//
// Error bounds, relative, carried from row to row. Write e(m, k) for
// T(m, k)'s and eps = 2^-cut_bits, which covers each cut and the rounding
// of a sum's steps (each step rounds at 2^-(bits + 64), and cut_bits <= bits).
// - Phi_m(Q) / sum_k T(m, k) = Q^m sum_k t(m, k) x^k, x = 1 - 1/Q, a sum of
//   positive terms: its error is at most their mean error weighted by the
//   terms, sum_k t x^k e(m, k) / sum_k t x^k (a second Horner, in long
//   double), plus what the top sizes above the row's cut would add: each is
//   below eps of the row's largest entry, and above the mode x^k only falls,
//   so together at most (m - highest) eps.
// - V(m, k) is a sum of positive terms too: the weighted mean of its
//   shapes' errors, plus the tail of shapes left out, plus eps.
// - T(n, k): its absolute error is at most sum_f a_f (e_V(f) + eps) plus the
//   first term the sum over f left out (the terms fall past their largest,
//   alternating, and the sum stops at one below eps of the largest). Divided
//   by T, the cancellation sum_f a_f / T multiplies the errors below.
// The entries below a row's mode are all kept, however small (see
// counts/layered_table.cpp), so they must all be known: a sum over split
// pairs that is not positive there means the bits did not suffice, and the
// build refuses.

namespace pellimor {

namespace {

constexpr long double minus_infinity = -std::numeric_limits<long double>::infinity();
constexpr int whole_rows_up_to = 64;
constexpr int guard_bits = 64;

long double log_of(const mpf_class& x) {
    if (sgn(x) <= 0) {
        return minus_infinity;
    }
    long exponent = 0;
    const double mantissa = mpf_get_d_2exp(&exponent, x.get_mpf_t());
    return std::log(static_cast<long double>(mantissa)) +
           static_cast<long double>(exponent) * std::numbers::ln2_v<long double>;
}

}  // namespace

WideLayeredTable::WideLayeredTable(int n, double y, int bits, int cut_bits,
                                   const std::atomic<bool>* stop)
    : n_(n), y_(y), bits_(bits) {
    if (n < 0 || n > 4000) {
        throw std::invalid_argument("wide layered tables need 0 <= n <= 4000, got " +
                                    std::to_string(n));
    }
    if (!(y > 0) || !std::isfinite(y)) {
        throw std::invalid_argument("layered tables need a weight y > 0");
    }
    if (bits < 64 || bits > 4096) {
        throw std::invalid_argument("wide layered tables need 64 to 4096 bits, got " +
                                    std::to_string(bits));
    }
    precision_ = static_cast<mp_bitcnt_t>(bits + guard_bits);
    cut_ = std::ldexp(1.0L, -std::clamp(cut_bits, 32, bits));
    // mpf assignment rounds to the precision of its target: set them first.
    zero_.set_prec(precision_);
    for (mpf_class* number : {&q_, &x_, &horner_, &power_, &w_, &cover_}) {
        number->set_prec(precision_);
    }
    y_wide_.set_prec(precision_);
    y_wide_ = y;
    for (std::size_t b = 0; b < q_piece_.size(); ++b) {
        q_piece_[b].set_prec(precision_);
        pairs_piece_[b].set_prec(precision_);
    }
    log_factorial_.assign(static_cast<std::size_t>(n) + 2, 0);
    factorial_.assign(static_cast<std::size_t>(n) + 2, mpf_class(1, precision_));
    for (std::size_t i = 1; i < log_factorial_.size(); ++i) {
        log_factorial_[i] = log_factorial_[i - 1] + std::log(static_cast<long double>(i));
        factorial_[i] = factorial_[i - 1] * static_cast<unsigned long>(i);
    }
    mpf_class power(1, precision_);
    mpf_class b_factorial(1, precision_);
    mpf_class pairs(1, precision_);  // y^C(b,2)
    for (int b = 1; b <= PieceShape::largest_piece; ++b) {
        pairs *= power;  // C(b, 2) = C(b - 1, 2) + b - 1
        power *= y_wide_;
        b_factorial *= static_cast<unsigned long>(b);
        const auto i = static_cast<std::size_t>(b);
        q_piece_[i] = 1 + power;
        pairs_piece_[i] = pairs / b_factorial;
        log_q_piece_[i] = std::log1p(std::pow(static_cast<long double>(y), b));
    }
    dropped_ += larger_pieces_dropped(n, y, log_factorial_, cut_);
    const auto rows = static_cast<std::size_t>(n) + 1;
    low_.assign(rows, 0);
    high_.assign(rows, 0);
    start_.assign(rows, 0);
    log_total_.assign(rows, 0);
    total_.assign(rows, mpf_class(0, precision_));
    memo_.resize(rows * rows);
    for (int m = 0; m <= n; ++m) {
        if (stop != nullptr && stop->load(std::memory_order_relaxed)) {
            throw SetupStopped();
        }
        build_row(m);
    }
    memo_.clear();
    memo_.shrink_to_fit();
    scratch_ = {};
}

long double WideLayeredTable::top_share(int m, int k) const {
    if (k < lowest_top(m) || k > highest_top(m)) {
        return 0;
    }
    return share_ld_[start_[static_cast<std::size_t>(m)] +
                     static_cast<std::size_t>(k - lowest_top(m))];
}

const mpf_class& WideLayeredTable::count(int m, int k) const {
    if (k < lowest_top(m) || k > highest_top(m)) {
        return zero_;
    }
    return count_[start_[static_cast<std::size_t>(m)] +
                  static_cast<std::size_t>(k - lowest_top(m))];
}

double WideLayeredTable::relative_error(int m, int k) const {
    if (k < lowest_top(m) || k > highest_top(m)) {
        return 0;
    }
    return error_[start_[static_cast<std::size_t>(m)] +
                  static_cast<std::size_t>(k - lowest_top(m))];
}

long double WideLayeredTable::log_cover_sum(int m, long double log_q) const {
    if (m == 0) {
        return 0;
    }
    return log_row_cover_sum(share_ld_.data() + start_[static_cast<std::size_t>(m)], lowest_top(m),
                             highest_top(m), m, log_q);
}

void WideLayeredTable::cover_sum(int m, const PieceShape& shape, mpf_class& out, double& error) {
    if (m == 0) {
        out = 1;
        error = 0;
        return;
    }
    const mpf_ptr q = q_.get_mpf_t();
    const mpf_ptr x = x_.get_mpf_t();
    const mpf_ptr sum = horner_.get_mpf_t();
    const mpf_ptr power = power_.get_mpf_t();
    mpf_set_ui(q, 1);
    for (int b = 1; b <= PieceShape::largest_piece; ++b) {
        const int j = shape.pieces[static_cast<std::size_t>(b)];
        if (j > 0) {
            mpf_pow_ui(power, q_piece_[static_cast<std::size_t>(b)].get_mpf_t(),
                       static_cast<unsigned long>(j));
            mpf_mul(q, q, power);
        }
    }
    mpf_sub_ui(x, q, 1);
    mpf_div(x, x, q);
    const int low = lowest_top(m);
    const std::size_t first = start_[static_cast<std::size_t>(m)];
    const auto length = static_cast<std::size_t>(highest_top(m) - low + 1);
    mpf_set_ui(sum, 0);
    const long double x_ld = mpf_get_d(x);
    long double weighted = 0;
    long double plain = 0;
    for (std::size_t i = length; i-- > 0;) {
        mpf_mul(sum, sum, x);
        mpf_add(sum, sum, share_[first + i].get_mpf_t());
        weighted = weighted * x_ld + share_ld_[first + i] * error_[first + i];
        plain = plain * x_ld + share_ld_[first + i];
    }
    mpf_pow_ui(power, x, static_cast<unsigned long>(low));
    mpf_mul(sum, sum, power);
    mpf_pow_ui(power, q, static_cast<unsigned long>(m));
    mpf_mul(out.get_mpf_t(), sum, power);
    error = static_cast<double>((plain > 0 ? weighted / plain : 0) +
                                (m - highest_top(m) + 1) * cut_);
}

const WideLayeredTable::Sum& WideLayeredTable::v(int m, int k) {
    auto& slot = memo_[static_cast<std::size_t>(m) * (static_cast<std::size_t>(n_) + 1) +
                       static_cast<std::size_t>(k)];
    if (slot) {
        return *slot;
    }
    slot = std::make_unique<Sum>(Sum{mpf_class(0, precision_), 0});
    Sum& sum = *slot;
    if (k == 0) {
        sum.value = m == 0 ? 1 : 0;  // the empty shape covers nothing
        return sum;
    }
    long double dropped = 0;
    sum_over_shapes(*this, m, k, scratch_, &dropped, cut_);
    mpf_class& w = w_;
    mpf_class& cover = cover_;
    const mpf_ptr power = power_.get_mpf_t();
    long double weighted = 0;
    long double plain = 0;
    long double reference = minus_infinity;
    for (const ShapeTerm& term : scratch_) {
        reference = std::max(reference, term.log_term);
    }
    for (const ShapeTerm& term : scratch_) {
        const PieceShape& shape = term.shape;
        // w = k! / (j1! prod_(b >= 2) b!^j_b j_b!) y^(sum_b j_b C(b, 2)).
        mpf_div(w.get_mpf_t(), factorial_[static_cast<std::size_t>(k)].get_mpf_t(),
                factorial_[static_cast<std::size_t>(shape.singles())].get_mpf_t());
        for (int b = 2; b <= PieceShape::largest_piece; ++b) {
            const int j = shape.pieces[static_cast<std::size_t>(b)];
            if (j > 0) {
                mpf_pow_ui(power, pairs_piece_[static_cast<std::size_t>(b)].get_mpf_t(),
                           static_cast<unsigned long>(j));
                mpf_mul(w.get_mpf_t(), w.get_mpf_t(), power);
                mpf_div(w.get_mpf_t(), w.get_mpf_t(),
                        factorial_[static_cast<std::size_t>(j)].get_mpf_t());
            }
        }
        double error = 0;
        cover_sum(m, shape, cover, error);
        mpf_mul(w.get_mpf_t(), w.get_mpf_t(), cover.get_mpf_t());
        mpf_add(sum.value.get_mpf_t(), sum.value.get_mpf_t(), w.get_mpf_t());
        const long double size = std::exp(term.log_term - reference);
        weighted += size * error;
        plain += size;
    }
    sum.value *= total_[static_cast<std::size_t>(m)];
    sum.error = static_cast<double>((plain > 0 ? weighted / plain : 0) + dropped + cut_);
    return sum;
}

WideLayeredTable::Entry WideLayeredTable::t(int n, int k) {
    const int m = n - k;
    Entry entry{mpf_class(0, precision_), 0, minus_infinity};
    if (n == 2 && k == 1) {
        return entry;  // the structural zero
    }
    // a_f = c_f V(m - f, k - f), c_f = C(m, f) C(k, f) f! y^f, so
    // c_f = c_(f-1) (m - f + 1) (k - f + 1) y / f.
    mpf_class c(1, precision_);
    mpf_class a(0, precision_);
    mpf_class size(0, precision_);
    long double largest = minus_infinity;
    long double previous = minus_infinity;
    long double error = 0;  // sum_f a_f e_V(f), over `size`, in long double
    long double plain = 0;
    long double reference = minus_infinity;
    for (int f = 0; f <= std::min(m, k); ++f) {
        if (f > 0) {
            c *= static_cast<unsigned long>(m - f + 1);
            c *= static_cast<unsigned long>(k - f + 1);
            c *= y_wide_;
            c /= static_cast<unsigned long>(f);
        }
        const Sum& term_v = v(m - f, k - f);
        a = c * term_v.value;
        if (f % 2 == 0) {
            entry.value += a;
        } else {
            entry.value -= a;
        }
        size += a;
        const long double log_a = log_of(a);
        if (reference == minus_infinity) {
            reference = log_a;
        }
        if (log_a > minus_infinity) {
            const long double scaled = std::exp(log_a - reference);
            error += scaled * (term_v.error + cut_);
            plain += scaled;
        }
        largest = std::max(largest, log_a);
        if (f >= 2 && log_a < largest + std::log(cut_) && log_a < previous) {
            // The first term left out is below this one.
            error += std::exp(log_a - reference);
            break;
        }
        previous = log_a;
    }
    if (sgn(entry.value) <= 0) {
        entry.value = 0;
        entry.error = std::numeric_limits<double>::infinity();
        return entry;
    }
    const long double cancellation = std::exp(log_of(size) - log_of(entry.value));
    largest_cancellation_ = std::max(largest_cancellation_, static_cast<double>(cancellation));
    entry.error = static_cast<double>(plain > 0 ? error / plain * cancellation : 0);
    entry.value *= factorial_[static_cast<std::size_t>(n)];
    entry.value /= factorial_[static_cast<std::size_t>(k)];
    entry.value /= factorial_[static_cast<std::size_t>(m)];
    entry.log_value = log_of(entry.value);
    return entry;
}

void WideLayeredTable::build_row(int n) {
    const auto row = static_cast<std::size_t>(n);
    start_[row] = count_.size();
    if (n == 0) {
        low_[row] = high_[row] = 0;
        count_.emplace_back(1, precision_);
        share_.emplace_back(1, precision_);
        share_ld_.push_back(1);
        error_.push_back(0);
        total_[row] = 1;
        log_total_[row] = 0;
        return;
    }
    std::vector<Entry> entries(row + 1, Entry{mpf_class(0, precision_), 0, minus_infinity});
    std::vector<bool> done(row + 1, false);
    auto at = [&](int k) -> const Entry& {
        const auto i = static_cast<std::size_t>(k);
        if (!done[i]) {
            entries[i] = t(n, k);
            done[i] = true;
        }
        return entries[i];
    };
    // As the long double build: every top size below the mode, the ones
    // above it down to the cut.
    const RowPeak peak = row_peak(
        n, whole_rows_up_to, n > 1 ? low_[row - 1] : 1, n > 1 ? high_[row - 1] : 1,
        [&](int k) { return top_share(n - 1, k); }, [&](int k) { return at(k).log_value; });
    const int mode = peak.mode;
    const long double largest = peak.largest;
    const long double floor = largest + std::log(cut_);
    int high = n <= whole_rows_up_to ? n : mode;
    while (high < n && at(high + 1).log_value >= floor) {
        ++high;
    }
    for (int k = 1; k <= high; ++k) {
        const Entry& e = at(k);
        if (n == 2 && k == 1) {
            continue;
        }
        if (!(e.error <= largest_relative_error)) {
            char text[256];
            std::snprintf(text, sizeof text,
                          "layered table at y = %.4g with %d bits: T(%d, %d) is known only to a "
                          "relative error of %.3e, worse than the %.0e it needs",
                          y_, bits_, n, k, e.error, largest_relative_error);
            throw std::domain_error(text);
        }
        largest_error_ = std::max(largest_error_, e.error);
    }
    mpf_class total(0, precision_);
    for (int k = 1; k <= high; ++k) {
        total += at(k).value;
    }
    low_[row] = 1;
    high_[row] = high;
    total_[row] = total;
    log_total_[row] = log_of(total);
    for (int k = 1; k <= high; ++k) {
        Entry& e = entries[static_cast<std::size_t>(k)];
        count_.push_back(e.value);
        share_.emplace_back(e.value / total, precision_);
        share_ld_.push_back(std::exp(e.log_value - log_total_[row]));
        error_.push_back(n == 2 && k == 1 ? 0 : e.error);
    }
    dropped_ += static_cast<double>(static_cast<long double>(n - high) * cut_);
}

}  // namespace pellimor
