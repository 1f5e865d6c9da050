#pragma once

// Sums over the samples' classes (graph/class_statistics.hpp): the mean of
// each statistic and the distribution of the class size s. Plain, trivially
// copyable data that merges exactly, like the rest of RunStatistics.

#include <cstdint>

#include "graph/class_statistics.hpp"
#include "stats/interval.hpp"

namespace pellimor {

// How many samples had each class size. Sizes are whole numbers: up to
// exact_limit each has its own count; above it they are counted in bins of
// log10 s, 0.01 wide up to log10 s = fine_end, 1 wide up to coarse_end, and
// one count for all beyond (an infinite log10 s included).
struct SizeHistogram {
    static constexpr int exact_limit = 100;
    static constexpr double fine_start = 2;  // log10 of exact_limit
    static constexpr double fine_width = 0.01;
    static constexpr int fine_bins = 4000;
    static constexpr double fine_end = fine_start + fine_bins * fine_width;  // 42
    static constexpr int coarse_bins = 4096;
    static constexpr double coarse_end = fine_end + coarse_bins;

    std::int64_t total = 0;
    std::int64_t exact[exact_limit + 1] = {};  // exact[s], s = 1 .. exact_limit
    std::int64_t fine[fine_bins] = {};
    std::int64_t coarse[coarse_bins] = {};
    std::int64_t beyond = 0;

    void add(double size, double log10_size);
    void merge(const SizeHistogram& other);

    // Samples with s = size, for 1 <= size <= exact_limit.
    std::int64_t count_of(int size) const { return exact[size]; }
    // Samples with s > size, for 0 <= size <= exact_limit.
    std::int64_t count_above(int size) const;

    // The p-quantile of log10 s (0 < p <= 1): log10 of the smallest s with
    // at least p of the samples at or below it. Exact where that s is at
    // most exact_limit; else the middle of its bin (within 0.005, or 0.5
    // in the coarse bins); +inf in the last count. Not a number without
    // samples.
    double log10_quantile(double p) const;
};

struct ClassAccumulator {
    MeanAccumulator edges;
    MeanAccumulator lines;
    MeanAccumulator arrows;
    MeanAccumulator vees;  // only the samples whose vees were counted
    MeanAccumulator chain_components;
    MeanAccumulator largest_chain_component;
    MeanAccumulator size;  // +inf once a size overflowed
    MeanAccumulator log10_size;
    SizeHistogram sizes;

    void add(const ClassStatistics& c);
    void merge(const ClassAccumulator& other);
};

}  // namespace pellimor
