#pragma once

// What the long double and the multiprecision builds of the layered table
// (counts/layered_table.hpp, counts/wide_layered_table.hpp) do alike with a
// row: find where it peaks, and sum it as a polynomial in x = 1 - 1/Q.

#include <algorithm>
#include <cmath>
#include <limits>

namespace pellimor {

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
