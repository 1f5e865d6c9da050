#include "counts/layered_table.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>
#include <stdexcept>
#include <string>

#include "counts/layered_row.hpp"
#include "util/setup_stopped.hpp"

// The recurrence. Write q_b = 1 + y^b; for a shape with j_b pieces of b
// vertices, SP = k! / prod_b (b!^(j_b) j_b!) set partitions of its k labelled
// vertices have it, w = SP y^(sum_b j_b C(b,2)) and Q = prod_b q_b^(j_b).
//
// 1. Without split pairs to avoid, the top level of an object on n vertices
//    is a set of k vertices (C(n, k) ways), a shape, and a row for each piece
//    among the m = n - k vertices of the object O' below. A vertex below
//    chooses which pieces' rows hold it, its column: a column weighs the
//    product of y^b over its pieces, all columns together Q. The k' vertices
//    of O''s top must be covered, Q - 1 each; the others take any column, Q
//    each. Summed over O' with every top size k',
//      Phi_m(Q) = sum_k' T(m, k') (Q - 1)^k' Q^(m - k'),   Phi_0 = 1,
//    and over the shapes V(m, k) = sum_shapes w Phi_m(Q).
// 2. (F1) Marking f roots at the top of an M1 object on n vertices is the
//    same as adding f isolated labelled vertices, as one-vertex pieces with
//    empty rows, to the top of an M1 object on n - f vertices: roots have
//    empty rows, so they cover nothing and end no split pair, and the rest
//    keeps its cover (a top of roots alone covers nothing, and T(n - f, 0) = 0
//    for n > f). Hence sum_O C(z(O), f) y^edges(O) = C(n, f) T(n - f, k - f),
//    z(O) the roots at O's top.
// 3. Split pairs between the top and O' form a matching (each root has one
//    toucher, whose row is that root alone), and any set of f of them is f
//    roots of O''s top matched to f one-vertex pieces of the top with
//    those rows, the other pieces' rows avoiding the f roots. Choosing the f
//    top vertices and the matching takes C(k, f) f! ways and weighs y^f; the
//    other k - f top vertices form any shape, whose rows lie in the other
//    m - f vertices and cover O''s other k' - f top vertices; by F1 the
//    marked O' sum to C(m, f) T(m - f, k' - f). Summing (-1)^(number of marked
//    pairs) over all markings keeps the objects without a split pair:
//      T(n, k) = C(n, k) sum_f (-1)^f C(m, f) C(k, f) f! y^f V(m - f, k - f).
//    T(0, 0) = 1, T(n, 0) = 0 for n > 0, and T(n, n) = V(0, n) = sum_shapes w
//    (Bell(n) at y = 1, the graphs with every vertex removable).
//
// Numbers. Each row is held as the log of its total and the shares of its top
// sizes, so Phi_m(Q) / sum_k T(m, k) = Q^m sum_k t(m, k) x^k with x = 1 - 1/Q,
// a polynomial with positive coefficients (Horner, in long double). The sum over f
// alternates; its terms fall like lambda^f / f!, lambda the split pairs that
// plain objects (no rule against them) have between the top and the level
// below, and it is summed in long double from logs. Every entry carries a
// bound on its relative error: each term's (Horner's rounding, the shapes
// left out, the error of the row it rests on), summed over the terms and
// divided by the value, so the cancellation multiplies it. lambda grows
// where the objects are sparse, about in proportion to the lines that such
// a graph has as whole components (at mean degree near 1, lambda is about
// n / 12); rows whose kept entries would be known worse than
// largest_relative_error are refused. T(2, 1) = 0 is the one structural zero:
// for n >= 3 and k >= 1 the top's k one-vertex pieces with rows all of n - k
// roots below (n - k >= 2), or k >= 2 of them with the one root below, make an
// M1 object.
//
// What is dropped:
// - top sizes above the row's mode whose T(n, k) is below 2^-100 of the
//   row's largest (rows above 64 vertices are built upwards from their mode
//   until they fall that low, which takes their terms to be unimodal in k;
//   smaller rows are built whole). Top sizes below the mode are all kept,
//   however small: row m enters the rows above it through
//   Phi_m(Q) = Q^m sum_k t(m, k) x^k, x = 1 - 1/Q, and a sparse level above
//   has Q - 1 near j y, so x^k raises the small top sizes by (1/x)^(mode - k)
//   against the mode; entries 2^-100 below the largest can carry most of
//   Phi. (Cutting them made the rows' totals fall behind by a factor that
//   grew with n: e^-15 at n = 1000 and mean degree 8, and shares off by up
//   to 1%.) Above the mode x^k only falls, so the cut there is safe;
// - in each sum over shapes, tails whose bound is below 2^-64 of the sum so
//   far (counts/piece_shapes.hpp);
// - the sum over f once its terms have fallen below 2^-70 of the largest
//   and keep falling;
// - pieces of more than PieceShape::largest_piece vertices: the constructor
//   refuses a y at which they could carry 2^-64 of a row.

namespace pellimor {

namespace {

constexpr long double top_size_cut = 100 * std::numbers::ln2_v<long double>;  // 2^-100
constexpr long double split_sum_cut = 70 * std::numbers::ln2_v<long double>;
constexpr int max_split_terms = 400;
// The relative accuracy taken for each term of a sum over split pairs: the
// rows' shares in long double carry errors that earlier sums amplified.
// Building the table in double and in long double and comparing (see the
// report in the layered benchmark) puts the long double rows' errors near
// 1e-16 where the kept entries pass the test below.
constexpr long double term_accuracy = 1e-18L;
constexpr int whole_rows_up_to = 64;
constexpr long double minus_infinity = -std::numeric_limits<long double>::infinity();

}  // namespace

LayeredTable::LayeredTable(int n, double y, const std::atomic<bool>* stop)
    : n_(n), y_(y), log_y_(std::log(y)) {
    if (n < 0 || n > max_vertices) {
        throw std::invalid_argument("layered tables need 0 <= n <= " +
                                    std::to_string(max_vertices) + ", got " + std::to_string(n));
    }
    if (!(y > 0) || !std::isfinite(y)) {
        throw std::invalid_argument("layered tables need a weight y > 0");
    }
    log_factorial_.assign(static_cast<std::size_t>(n) + 2, 0);
    for (std::size_t i = 1; i < log_factorial_.size(); ++i) {
        log_factorial_[i] = log_factorial_[i - 1] + std::log(static_cast<long double>(i));
    }
    for (int b = 1; b <= PieceShape::largest_piece; ++b) {
        log_q_piece_[static_cast<std::size_t>(b)] = std::log1p(std::pow(y, b));
    }
    dropped_ += larger_pieces_dropped(n, y, log_factorial_, shape_tail_limit);
    const auto rows = static_cast<std::size_t>(n) + 1;
    low_.assign(rows, 0);
    high_.assign(rows, 0);
    start_.assign(rows, 0);
    log_total_.assign(rows, 0);
    memo_.assign(rows * rows, std::numeric_limits<long double>::quiet_NaN());
    for (int m = 0; m <= n; ++m) {
        if (stop != nullptr && stop->load(std::memory_order_relaxed)) {
            throw SetupStopped();
        }
        build_row(m);
    }
    // The memo and the scratch are only for the build.
    memo_ = {};
    scratch_ = {};
}

std::size_t LayeredTable::bytes_needed(int n) {
    const std::size_t rows = static_cast<std::size_t>(std::max(n, 0)) + 1;
    // The memo of V, and the shares and logs of T(m, k) for k = 1 .. m at
    // the most.
    return rows * rows * sizeof(long double) + rows * (rows + 1) * sizeof(long double) +
           sizeof(LayeredTable);
}

double LayeredTable::top_share(int m, int k) const {
    if (k < lowest_top(m) || k > highest_top(m)) {
        return 0;
    }
    return static_cast<double>(
        share_[start_[static_cast<std::size_t>(m)] + static_cast<std::size_t>(k - lowest_top(m))]);
}

long double LayeredTable::log_count(int m, int k) const {
    if (k < lowest_top(m) || k > highest_top(m)) {
        return -std::numeric_limits<long double>::infinity();
    }
    return log_count_[start_[static_cast<std::size_t>(m)] +
                      static_cast<std::size_t>(k - lowest_top(m))];
}

long double LayeredTable::log_cover_sum(int m, long double log_q) const {
    if (m == 0) {
        return 0;
    }
    return log_row_cover_sum(share_.data() + start_[static_cast<std::size_t>(m)], lowest_top(m),
                             highest_top(m), m, log_q);
}

long double LayeredTable::shape_terms(int m, int k, std::vector<ShapeTerm>& out) const {
    return sum_over_shapes(*this, m, k, out, nullptr);
}

long double LayeredTable::log_v(int m, int k) {
    const std::size_t index = static_cast<std::size_t>(m) * (static_cast<std::size_t>(n_) + 1) +
                              static_cast<std::size_t>(k);
    long double& memo = memo_[index];
    if (!std::isnan(memo)) {
        return memo;
    }
    if (k == 0) {
        // The empty shape: Q = 1 covers nothing, so only the empty object.
        memo = m == 0 ? 0 : -std::numeric_limits<long double>::infinity();
        return memo;
    }
    long double dropped = 0;
    const long double log_sum = sum_over_shapes(*this, m, k, scratch_, &dropped);
    shape_dropped_ = std::max(shape_dropped_, static_cast<double>(dropped));
    memo = log_sum == minus_infinity ? -std::numeric_limits<long double>::infinity()
                                     : log_total(m) + log_sum;
    return memo;
}

LayeredTable::Entry LayeredTable::log_t(int n, int k) {
    const int m = n - k;
    constexpr long double none = -std::numeric_limits<long double>::infinity();
    Entry entry{none, none};
    if (n == 2 && k == 1) {
        return entry;  // the structural zero (the file's head)
    }
    // Terms log a_f, f = 0, 1, ...; a_f = C(m,f) C(k,f) f! y^f V(m-f, k-f).
    long double terms[max_split_terms];
    int count = 0;
    long double largest = none;
    for (int f = 0; f <= std::min(m, k) && count < max_split_terms; ++f) {
        const long double v = log_v(m - f, k - f);
        const long double a =
            v == none ? none
                      : log_binomial(m, f) + log_binomial(k, f) + log_factorial(f) + f * log_y_ + v;
        terms[count++] = a;
        largest = std::max(largest, a);
        if (f >= 2 && a < largest - split_sum_cut && a < terms[count - 2]) {
            break;
        }
    }
    if (largest == none) {
        return entry;
    }
    long double sum = 0;
    long double size = 0;
    for (int f = 0; f < count; ++f) {
        const long double a = std::exp(terms[f] - largest);
        sum += f % 2 == 0 ? a : -a;
        size += a;
    }
    const long double scale = log_binomial(n, k) + largest;
    entry.log_error = scale + std::log(size * term_accuracy);
    if (sum > 0) {
        entry.log_value = scale + std::log(sum);
    }
    return entry;
}

void LayeredTable::build_row(int n) {
    const auto row = static_cast<std::size_t>(n);
    start_[row] = share_.size();
    if (n == 0) {
        low_[row] = high_[row] = 0;
        share_.push_back(1);
        log_count_.push_back(0);
        log_total_[row] = 0;
        return;
    }
    // T(n, k) for the top sizes computed, by k.
    std::vector<Entry> entries(static_cast<std::size_t>(n) + 1,
                               Entry{-std::numeric_limits<long double>::infinity(),
                                     -std::numeric_limits<long double>::infinity()});
    std::vector<bool> done(static_cast<std::size_t>(n) + 1, false);
    auto at = [&](int k) -> const Entry& {
        const auto i = static_cast<std::size_t>(k);
        if (!done[i]) {
            entries[i] = log_t(n, k);
            done[i] = true;
        }
        return entries[i];
    };
    const int low = 1;
    int high = n;
    const RowPeak peak = row_peak(
        n, whole_rows_up_to, n > 1 ? low_[row - 1] : 1, n > 1 ? high_[row - 1] : 1,
        [&](int k) { return top_share(n - 1, k); }, [&](int k) { return at(k).log_value; });
    const int mode = peak.mode;
    const long double largest = peak.largest;
    if (n > whole_rows_up_to) {
        // Go up from the mode until the terms fall below the cut; below the
        // mode every top size is built.
        const long double floor = largest - top_size_cut;
        high = mode;
        while (high < n && std::max(at(high + 1).log_value, at(high + 1).log_error) >= floor) {
            ++high;
        }
    }
    if (largest == -std::numeric_limits<long double>::infinity()) {
        throw std::logic_error("layered table: row " + std::to_string(n) + " is empty");
    }
    // Every entry kept is known to within largest_relative_error: up to the
    // mode every positive one (a small entry may carry Phi, see above),
    // above it those the cut keeps; the top end below the cut goes.
    const long double floor = largest - top_size_cut;
    auto kept = [&](int k) {
        return k <= mode ? at(k).log_value > minus_infinity : at(k).log_value >= floor;
    };
    long double worst = 0;
    for (int k = low; k <= high; ++k) {
        const Entry& e = at(k);
        if (e.log_value == minus_infinity ||
            (k > mode && std::max(e.log_value, e.log_error) < floor)) {
            continue;
        }
        const long double relative = std::exp(e.log_error - e.log_value);
        if (!(relative <= largest_relative_error)) {
            char text[256];
            std::snprintf(text, sizeof text,
                          "layered table at y = %.4g: T(%d, %d) is known only to a relative "
                          "error of %.3e, worse than the %.0e it needs (its sum over split "
                          "pairs cancels)",
                          static_cast<double>(y_), n, k, static_cast<double>(relative),
                          largest_relative_error);
            throw std::domain_error(text);
        }
        worst = std::max(worst, static_cast<long double>(relative));
    }
    while (high > mode && at(high).log_value < floor) {
        --high;
    }
    long double total = 0;
    for (int k = low; k <= high; ++k) {
        if (kept(k)) {
            total += std::exp(at(k).log_value - largest);
        }
    }
    low_[row] = low;
    high_[row] = high;
    log_total_[row] = largest + std::log(total);
    for (int k = low; k <= high; ++k) {
        const long double v = at(k).log_value;
        share_.push_back(kept(k) ? std::exp(v - log_total_[row]) : 0.0L);
        log_count_.push_back(kept(k) ? v : minus_infinity);
    }
    largest_error_ = std::max(largest_error_, static_cast<double>(worst));
    dropped_ += static_cast<long double>(n - high) * 0x1p-100;
}

}  // namespace pellimor
