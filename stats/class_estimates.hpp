#pragma once

// The summary's numbers on the samples' classes: for each statistic its mean
// with standard error and 95% interval, and for the class size s its
// distribution: the share of each size 1 .. 10 and of sizes above 10 with
// Wilson intervals, and percentiles of s and of log10 s; and the whole
// distributions of s, of the lines, of the chain components and of the vees. Each is held against
// its exact value where one is known:
// - the share of size 1 is the share without lines (s = 1 exactly when the
//   essential graph has no line);
// - the mean of s over uniform classes is DAGs / classes, a(n) / EG(n);
// - the mean number of edges of a uniform class (counts/).

#include <cstdint>
#include <optional>
#include <vector>

#include "stats/class_accumulator.hpp"
#include "stats/estimates.hpp"

namespace pellimor {

struct MeanEstimate {
    std::int64_t count = 0;  // samples it is the mean of
    double mean = 0;
    double standard_error = 0;
    Interval interval;  // mean +- 1.96 standard errors
    std::optional<double> exact;
    double z = 0;  // (mean - exact) / standard error; not a number without exact
};

// The share of the samples whose value v lies in above < v <= at_most.
struct BinShare {
    double above = 0;
    double at_most = 0;
    ShareEstimate share;
};
using Distribution = std::vector<BinShare>;

struct ClassEstimates {
    MeanEstimate edges;
    MeanEstimate lines;
    MeanEstimate arrows;
    MeanEstimate vees;  // count 0 when vees were not counted
    MeanEstimate chain_components;
    MeanEstimate largest_chain_component;
    MeanEstimate size;
    MeanEstimate log10_size;

    static constexpr int listed_sizes = 10;
    ShareEstimate size_share[listed_sizes + 1];  // [s] for s = 1 .. 10; [0] unused
    ShareEstimate size_above;                    // s > 10
    double log10_size_median = 0;
    double log10_size_90th = 0;
    double log10_size_99th = 0;
    // The same percentiles of s itself (SizeHistogram::quantile).
    double size_median = 0;
    double size_90th = 0;
    double size_99th = 0;

    // The whole distributions: the share of the samples in each bin that
    // holds any (whole numbers up to 1000 one by one, then bins up to
    // powers of 2), with Wilson intervals; the vees' is empty when they
    // were not counted.
    Distribution size_distribution;
    Distribution line_distribution;
    Distribution largest_chain_component_distribution;
    Distribution chain_component_distribution;
    Distribution vee_distribution;
};

// run holds the run's other estimates, whose exact values (share without
// lines, DAGs per class, mean edges) these are held against.
ClassEstimates estimate_classes(const RunEstimates& run, const ClassAccumulator& classes);

}  // namespace pellimor
