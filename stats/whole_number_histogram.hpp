#pragma once

// Counts of whole numbers, for the distributions a run's summary gives:
// every value 0 .. exact_limit has its own count; larger values fall into
// bins that end at powers of 2, (1000, 2^10], (2^10, 2^11], ...,
// (2^(LastPower-1), 2^LastPower], and one count holds the values beyond
// 2^LastPower. Adding a value is a comparison and an increment (it is done
// for every sample on the thread that takes the results); plain, trivially
// copyable data that merges exactly, like the rest of RunStatistics.

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace pellimor {

// The whole numbers v with above < v <= at_most (at_most = +inf: every v
// beyond `above`), and how many samples had one of them.
struct HistogramBin {
    double above = 0;
    double at_most = 0;
    std::int64_t count = 0;
};

template <int LastPower>
struct WholeNumberHistogram {
    static constexpr int exact_limit = 1000;
    static constexpr int first_power = 10;  // the first bin ends at 2^10 = 1024
    static constexpr int power_bins = LastPower - first_power + 1;
    static_assert(power_bins > 0 && (1 << (first_power - 1)) <= exact_limit);

    std::int64_t total = 0;
    std::int64_t exact[exact_limit + 1] = {};  // exact[v], v = 0 .. exact_limit
    std::int64_t power[power_bins] = {};       // power[k - first_power]: (2^(k-1), 2^k]
    std::int64_t beyond = 0;                   // v > 2^LastPower

    void add(std::uint64_t value) {
        ++total;
        if (value <= exact_limit) {
            ++exact[value];
            return;
        }
        // The smallest k with value <= 2^k.
        const int k = std::bit_width(value - 1);
        if (k <= LastPower) {
            ++power[k - first_power];
        } else {
            ++beyond;
        }
    }

    // A whole number >= 0 held as a double; +inf counts as beyond every bin.
    void add_whole(double value) {
        if (value <= exact_limit) {
            add(static_cast<std::uint64_t>(value));
            return;
        }
        ++total;
        // value = m 2^e with 0.5 <= m < 1, so value <= 2^k for k = e, or
        // k = e - 1 when value is 2^(e-1) itself.
        int e = 0;
        const double m = std::frexp(value, &e);
        const int k = m == 0.5 ? e - 1 : e;
        if (std::isfinite(value) && k <= LastPower) {
            ++power[k - first_power];
        } else {
            ++beyond;
        }
    }

    void merge(const WholeNumberHistogram& other) {
        total += other.total;
        for (int v = 0; v <= exact_limit; ++v) {
            exact[v] += other.exact[v];
        }
        for (int b = 0; b < power_bins; ++b) {
            power[b] += other.power[b];
        }
        beyond += other.beyond;
    }

    // The bins that hold at least one sample, in increasing order.
    std::vector<HistogramBin> seen() const {
        std::vector<HistogramBin> bins;
        for (int v = 0; v <= exact_limit; ++v) {
            if (exact[v] > 0) {
                bins.push_back({v - 1.0, static_cast<double>(v), exact[v]});
            }
        }
        for (int b = 0; b < power_bins; ++b) {
            if (power[b] > 0) {
                const int k = first_power + b;
                const double above = b == 0 ? exact_limit : std::ldexp(1.0, k - 1);
                bins.push_back({above, std::ldexp(1.0, k), power[b]});
            }
        }
        if (beyond > 0) {
            bins.push_back(
                {std::ldexp(1.0, LastPower), std::numeric_limits<double>::infinity(), beyond});
        }
        return bins;
    }
};

// Counts of a statistic that is a 64-bit count (lines, vees, vertices).
using CountHistogram = WholeNumberHistogram<63>;

}  // namespace pellimor
