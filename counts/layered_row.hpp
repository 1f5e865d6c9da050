#pragma once

// What the long double and the multiprecision builds of the layered table
// (counts/layered_table.hpp, counts/wide_layered_table.hpp) do alike: bound
// the pieces they leave out, find where a row peaks, and sum a row as a
// polynomial in x = 1 - 1/Q.

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "counts/piece_shapes.hpp"

namespace pellimor {

// Pieces of more than PieceShape::largest_piece vertices, which every shape
// leaves out. One of b such vertices in a level of k <= n weighs at most
// C(n, b) y^C(b,2) times the same shape with b one-vertex pieces instead
// (Q only grows). Throws std::invalid_argument where their sum over b passes
// `limit` (a dense weight); else returns n times it, a bound on the share
// the rows of a table on n vertices leave out. log_factorial holds log i!
// for i = 0 .. n.
inline double larger_pieces_dropped(int n, double y, const std::vector<long double>& log_factorial,
                                    long double limit) {
    constexpr long double minus_infinity = -std::numeric_limits<long double>::infinity();
    const long double log_y = std::log(static_cast<long double>(y));
    long double larger = minus_infinity;
    for (int b = PieceShape::largest_piece + 1; b <= n; ++b) {
        const long double term = log_factorial[static_cast<std::size_t>(n)] -
                                 log_factorial[static_cast<std::size_t>(b)] -
                                 log_factorial[static_cast<std::size_t>(n - b)] +
                                 0.5L * b * (b - 1) * log_y;
        const long double high = std::max(larger, term);
        const long double low = std::min(larger, term);
        larger = low == minus_infinity ? high : high + std::log1p(std::exp(low - high));
    }
    if (larger > std::log(limit)) {
        throw std::invalid_argument(
            "layered tables need a sparse weight: at y = " + std::to_string(y) +
            " pieces of more than " + std::to_string(PieceShape::largest_piece) +
            " vertices would carry weight on " + std::to_string(n) + " vertices");
    }
    return static_cast<double>(std::exp(larger)) * n;
}

struct RowPeak {
    int mode;             // the top size with the largest T(n, k) found
    long double largest;  // the largest log T(n, k) over k <= mode
};

// The peak of row n >= 1, given log_at(k) = log T(n, k) (which a build
// computes on demand). Rows of up to whole_rows vertices are searched whole;
// larger ones climb from the mode of row n - 1, found from its shares
// previous_share(k) over previous_low .. previous_high, which takes the
// entries to be unimodal in k; every top size below the mode is computed
// all the same, and the largest of them counts.
template <class PreviousShare, class LogAt>
RowPeak row_peak(int n, int whole_rows, int previous_low, int previous_high,
                 PreviousShare&& previous_share, LogAt&& log_at) {
    int mode = 1;
    if (n <= whole_rows) {
        for (int k = 2; k <= n; ++k) {
            if (log_at(k) > log_at(mode)) {
                mode = k;
            }
        }
    } else {
        mode = previous_low;
        for (int k = previous_low; k <= previous_high; ++k) {
            if (previous_share(k) > previous_share(mode)) {
                mode = k;
            }
        }
        mode = std::clamp(mode, 1, n);
        for (int step : {1, -1}) {
            while (mode + step >= 1 && mode + step <= n && log_at(mode + step) > log_at(mode)) {
                mode += step;
            }
        }
    }
    long double largest = log_at(mode);
    for (int k = 1; k < mode; ++k) {
        largest = std::max(largest, static_cast<long double>(log_at(k)));
    }
    return {mode, largest};
}

// log(Q^m sum_k t_k x^k), x = 1 - 1/Q, over the shares t_low .. t_high of a
// row of m >= 1 vertices (at shares[0 .. high - low]), for log Q >= 0:
// Phi_m(Q) over the row's total. -infinity when it is 0.
inline long double log_row_cover_sum(const long double* shares, int low, int high, int m,
                                     long double log_q) {
    constexpr long double minus_infinity = -std::numeric_limits<long double>::infinity();
    const long double x = -std::expm1(-log_q);
    if (!(x > 0)) {
        return minus_infinity;
    }
    long double sum = 0;
    for (int i = high - low; i >= 0; --i) {
        sum = sum * x + shares[i];
    }
    if (!(sum > 0)) {
        return minus_infinity;
    }
    return m * log_q + low * std::log(x) + std::log(sum);
}

}  // namespace pellimor
