#pragma once

// Sums over the samples' classes (graph/class_statistics.hpp): the mean of
// each statistic and the distribution of the class size s. Plain, trivially
// copyable data that merges exactly, like the rest of RunStatistics.

#include <cstdint>

#include "graph/class_statistics.hpp"
#include "stats/interval.hpp"
#include "stats/whole_number_histogram.hpp"

namespace pellimor {

// How many samples had each class size s (a whole number >= 1): every size
// up to exact_limit and bins up to powers of 2 above (`values`), and for the
// percentiles of log10 s above exact_limit, bins of log10 s, 0.01 wide up to
// log10 s = fine_end, 1 wide up to coarse_end, and one count for all beyond
// (an infinite log10 s included).
struct SizeHistogram {
    // Bins end at powers of 2 up to 2^1023; beyond holds the sizes past it,
    // where a double overflows.
    using Values = WholeNumberHistogram<1023>;
    static constexpr int exact_limit = Values::exact_limit;
    static constexpr double fine_start = 3;  // log10 of exact_limit
    static constexpr double fine_width = 0.01;
    static constexpr int fine_bins = 3900;
    static constexpr double fine_end = fine_start + fine_bins * fine_width;  // 42
    static constexpr int coarse_bins = 4096;
    static constexpr double coarse_end = fine_end + coarse_bins;

    std::int64_t total = 0;
    Values values;
    std::int64_t fine[fine_bins] = {};
    std::int64_t coarse[coarse_bins] = {};
    std::int64_t beyond = 0;

    void add(double size, double log10_size);
    void merge(const SizeHistogram& other);

    // Samples with s = size, for 1 <= size <= exact_limit.
    std::int64_t count_of(int size) const { return values.exact[size]; }
    // Samples with s > size, for 0 <= size <= exact_limit.
    std::int64_t count_above(int size) const;

    // The p-quantile of log10 s (0 < p <= 1): log10 of the smallest s with
    // at least p of the samples at or below it. Exact where that s is at
    // most exact_limit; else the middle of its bin (within 0.005, or 0.5
    // in the coarse bins); +inf in the last count. Not a number without
    // samples.
    double log10_quantile(double p) const;
    // The same quantile of s itself: the whole number s where it is at most
    // exact_limit, else 10^log10_quantile(p) (within 1.2%, or +inf past the
    // range of a double).
    double quantile(double p) const;
};

// The means of a sample's class statistics and the distributions of the
// class size and of the counts. All but the vees are added for every sample, so they share one
// count and one division per sample (this is added on the thread that takes the results, once per
// sample).
struct ClassAccumulator {
    enum Statistic : int {
        EDGES,
        LINES,
        ARROWS,
        CHAIN_COMPONENTS,
        LARGEST_CHAIN_COMPONENT,
        SIZE,  // +inf once a size overflowed
        LOG10_SIZE,
        STATISTICS
    };

    std::int64_t count = 0;
    double mean[STATISTICS] = {};
    double m2[STATISTICS] = {};  // sums of squared deviations (Welford)
    MeanAccumulator vee_mean;    // only the samples whose vees were counted
    SizeHistogram sizes;
    // The distributions of the counts: lines, vertices of the largest chain
    // component, chain components of 2 or more vertices, and vees (only the
    // samples whose vees were counted).
    CountHistogram line_counts;
    CountHistogram largest_chain_components;
    CountHistogram chain_component_counts;
    CountHistogram vee_counts;

    void add(const ClassStatistics& c);
    void merge(const ClassAccumulator& other);

    // One statistic as a MeanAccumulator, for its standard error and interval.
    MeanAccumulator of(Statistic s) const { return {count, mean[s], m2[s]}; }
    MeanAccumulator edges() const { return of(EDGES); }
    MeanAccumulator lines() const { return of(LINES); }
    MeanAccumulator arrows() const { return of(ARROWS); }
    MeanAccumulator vees() const { return vee_mean; }
    MeanAccumulator chain_components() const { return of(CHAIN_COMPONENTS); }
    MeanAccumulator largest_chain_component() const { return of(LARGEST_CHAIN_COMPONENT); }
    MeanAccumulator size() const { return of(SIZE); }
    MeanAccumulator log10_size() const { return of(LOG10_SIZE); }
};

}  // namespace pellimor
