#pragma once

// Confidence intervals and the small accumulators they are computed from:
// Wilson score intervals for shares, a mean with its standard error, and the
// ratio of two means with its delta-method standard error. The accumulators
// are plain data and merge exactly, so partial results computed apart (other
// threads, other processes) combine into the result of one pass.

#include <cstdint>

namespace pellimor {

// The normal quantile of a two-sided 95% interval.
inline constexpr double z_95 = 1.959963984540054;

struct Interval {
    double estimate = 0;
    double low = 0;
    double high = 0;
};

// The Wilson score interval of the share count / of; all three values are
// not a number when of is 0.
Interval wilson_interval(std::int64_t count, std::int64_t of, double z = z_95);

// The same for a share observed over n samples that need not be a whole
// number (an effective sample size); not a number when n <= 0.
Interval wilson_interval_for_share(double share, double n, double z = z_95);

// Mean and sample variance of a stream of values (Welford's update; merged
// with Chan's formula).
struct MeanAccumulator {
    std::int64_t count = 0;
    double mean = 0;
    double m2 = 0;  // sum of squared deviations from the mean

    void add(double x);
    void merge(const MeanAccumulator& other);

    // Sample variance; not a number with fewer than two values.
    double variance() const;
    // Standard error of the mean; not a number with fewer than two values.
    double standard_error() const;
    // mean ± z standard errors.
    Interval interval(double z = z_95) const;
};

// Means of pairs (x, y) and their co-moments, for the ratio estimator
// R = sum y / sum x over independent, identically distributed pairs.
struct RatioAccumulator {
    std::int64_t count = 0;
    double mean_x = 0;
    double mean_y = 0;
    double m2_x = 0;
    double m2_y = 0;
    double c_xy = 0;  // sum of (x - mean_x)(y - mean_y)

    void add(double x, double y);
    void merge(const RatioAccumulator& other);

    // sum y / sum x; not a number when sum x is 0.
    double ratio() const;
    // Delta-method standard error of ratio():
    // sqrt(sum (y - R x)^2 / (count - 1) / count) / mean_x.
    double standard_error() const;
    // ratio ± z standard errors.
    Interval interval(double z = z_95) const;

    // Kish's effective number of samples of a mean weighted by x:
    // (sum x)^2 / sum x^2, which is count when every x is the same.
    double effective_count() const;
};

// (a - b) / sqrt(se_a^2 + se_b^2); 0 when a and b agree to rounding and so
// does the standard error with 0 (both within 1e-9 of the larger value).
// With both standard errors zero and a real difference, an infinity of the
// sign of a - b. Not a number when any input is.
double z_score(double a, double se_a, double b, double se_b);

}  // namespace pellimor
