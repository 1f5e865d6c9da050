#include "stats/interval.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pellimor {

namespace {

constexpr double not_a_number = std::numeric_limits<double>::quiet_NaN();

}  // namespace

Interval wilson_interval(std::int64_t count, std::int64_t of, double z) {
    if (of <= 0) {
        return {not_a_number, not_a_number, not_a_number};
    }
    const double n = static_cast<double>(of);
    return wilson_interval_for_share(static_cast<double>(count) / n, n, z);
}

Interval wilson_interval_for_share(double p, double n, double z) {
    if (!(n > 0)) {
        return {not_a_number, not_a_number, not_a_number};
    }
    const double z2 = z * z;
    const double centre = (p + z2 / (2 * n)) / (1 + z2 / n);
    const double half_width = z / (1 + z2 / n) * std::sqrt(p * (1 - p) / n + z2 / (4 * n * n));
    // The bounds are exact at 0 and 1; keep rounding from moving them past.
    const double low = p == 0 ? 0.0 : std::max(0.0, centre - half_width);
    const double high = p == 1 ? 1.0 : std::min(1.0, centre + half_width);
    return {p, low, high};
}

void MeanAccumulator::add(double x) {
    ++count;
    const double delta = x - mean;
    mean += delta / static_cast<double>(count);
    m2 += delta * (x - mean);
}

void MeanAccumulator::merge(const MeanAccumulator& other) {
    if (other.count == 0) {
        return;
    }
    if (count == 0) {
        *this = other;
        return;
    }
    const double n_a = static_cast<double>(count);
    const double n_b = static_cast<double>(other.count);
    const double n = n_a + n_b;
    const double delta = other.mean - mean;
    mean += delta * n_b / n;
    m2 += other.m2 + delta * delta * n_a * n_b / n;
    count += other.count;
}

double MeanAccumulator::variance() const {
    return count < 2 ? not_a_number : m2 / static_cast<double>(count - 1);
}

double MeanAccumulator::standard_error() const {
    return std::sqrt(variance() / static_cast<double>(count));
}

Interval MeanAccumulator::interval(double z) const {
    const double se = standard_error();
    return {mean, mean - z * se, mean + z * se};
}

void RatioAccumulator::add(double x, double y) {
    ++count;
    const double n = static_cast<double>(count);
    const double dx = x - mean_x;
    const double dy = y - mean_y;
    mean_x += dx / n;
    mean_y += dy / n;
    m2_x += dx * (x - mean_x);
    m2_y += dy * (y - mean_y);
    c_xy += dx * (y - mean_y);
}

void RatioAccumulator::merge(const RatioAccumulator& other) {
    if (other.count == 0) {
        return;
    }
    if (count == 0) {
        *this = other;
        return;
    }
    const double n_a = static_cast<double>(count);
    const double n_b = static_cast<double>(other.count);
    const double n = n_a + n_b;
    const double dx = other.mean_x - mean_x;
    const double dy = other.mean_y - mean_y;
    const double weight = n_a * n_b / n;
    mean_x += dx * n_b / n;
    mean_y += dy * n_b / n;
    m2_x += other.m2_x + dx * dx * weight;
    m2_y += other.m2_y + dy * dy * weight;
    c_xy += other.c_xy + dx * dy * weight;
    count += other.count;
}

double RatioAccumulator::ratio() const {
    return mean_x == 0 ? not_a_number : mean_y / mean_x;
}

double RatioAccumulator::standard_error() const {
    if (count < 2 || mean_x == 0) {
        return not_a_number;
    }
    // sum (y - R x)^2 = m2_y - 2 R c_xy + R^2 m2_x, since mean_y = R mean_x.
    const double r = ratio();
    const double residual = std::max(0.0, m2_y - 2 * r * c_xy + r * r * m2_x);
    const double n = static_cast<double>(count);
    return std::sqrt(residual / (n - 1) / n) / std::abs(mean_x);
}

double RatioAccumulator::effective_count() const {
    // sum x^2 = m2_x + count mean_x^2.
    const double n = static_cast<double>(count);
    const double sum_x = n * mean_x;
    const double sum_squares = m2_x + n * mean_x * mean_x;
    return sum_squares > 0 ? sum_x * sum_x / sum_squares : not_a_number;
}

Interval RatioAccumulator::interval(double z) const {
    const double r = ratio();
    const double se = standard_error();
    return {r, r - z * se, r + z * se};
}

double z_score(double a, double se_a, double b, double se_b) {
    const double se = std::sqrt(se_a * se_a + se_b * se_b);
    if (std::isnan(se) || std::isnan(a) || std::isnan(b)) {
        return not_a_number;
    }
    // Values that agree to rounding, with no spread beyond rounding, are
    // equal: an estimate summed over the samples (100 classes in 600 DAGs,
    // all of one size) and the exact value (1/6) may differ in their last
    // bits, and with a standard error of 0 (or the rounding noise of one)
    // that difference would be an infinite or meaningless z. Sums of up to
    // 2^31 terms in double precision stay far within this agreement, and
    // any spread of real samples far above it.
    constexpr double agreement = 1e-9;
    const double scale = agreement * std::max(std::abs(a), std::abs(b));
    if (std::abs(a - b) <= scale && se <= scale) {
        return 0;
    }
    if (se == 0) {
        return a > b ? std::numeric_limits<double>::infinity()
                     : -std::numeric_limits<double>::infinity();
    }
    return (a - b) / se;
}

}  // namespace pellimor
