// The two methods as the engine runs them.

#include "sampler/sample_methods.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace pellimor {
namespace {

struct Shares {
    double no_lines = 0;
    double connected = 0;
    double lines = 0;
    double lines_squared = 0;
    int samples = 0;
};

Shares run_method(const WorkerFactory& workers, std::int64_t n_samples,
                  std::uint64_t first = 1) {
    Shares s;
    run_in_order(
        workers, SampleNumbering{n_samples, first, 1}, 2,
        [&](const SampleResult& r) {
            s.no_lines += r.no_lines;
            s.connected += r.connected;
            s.lines += static_cast<double>(r.lines);
            s.lines_squared += static_cast<double>(r.lines) * static_cast<double>(r.lines);
            ++s.samples;
        },
        [](std::int64_t) { return false; });
    return s;
}

// |a - b| in standard errors of the difference of two sample proportions.
double proportion_z(double count_a, int n_a, double count_b, int n_b) {
    const double pa = count_a / n_a;
    const double pb = count_b / n_b;
    const double pooled = (count_a + count_b) / (n_a + n_b);
    const double se = std::sqrt(pooled * (1 - pooled) * (1.0 / n_a + 1.0 / n_b));
    return se > 0 ? (pa - pb) / se : 0;
}

double mean_z(const Shares& a, const Shares& b) {
    auto variance = [](const Shares& s) {
        const double mean = s.lines / s.samples;
        return (s.lines_squared / s.samples - mean * mean) / s.samples;
    };
    const double se = std::sqrt(variance(a) + variance(b));
    return se > 0 ? (a.lines / a.samples - b.lines / b.samples) / se : 0;
}

// A walk that starts from an exact draw is stationary: after any number of
// moves its graphs are still uniform. At n = 40 nothing else can check the
// incremental judge against the uniform distribution: a walk from the empty
// graph stays trapped far longer than this one runs (its share without
// lines would be near 0.04 instead of 0.27).
TEST(SampleMethods, WalksFromExactStartsStayUniformAtForty) {
    const int n = 40;
    const std::uint64_t seed = 2024;
    const DagCounts tables(n);
    const Settings settings{n, 100000, false};
    const Shares walk = run_method(walk_workers(settings, seed, &tables), 300);
    const Shares exact =
        run_method(exact_workers(tables, seed), 3000, reference_first_sample);
    EXPECT_LT(std::abs(proportion_z(walk.no_lines, walk.samples, exact.no_lines, exact.samples)),
              4.0)
        << "no lines: walk " << walk.no_lines / walk.samples << ", exact "
        << exact.no_lines / exact.samples << ", seed " << seed;
    EXPECT_LT(
        std::abs(proportion_z(walk.connected, walk.samples, exact.connected, exact.samples)), 4.0)
        << "connected: walk " << walk.connected / walk.samples << ", exact "
        << exact.connected / exact.samples << ", seed " << seed;
    EXPECT_LT(std::abs(mean_z(walk, exact)), 4.0)
        << "lines: walk " << walk.lines / walk.samples << ", exact "
        << exact.lines / exact.samples << ", seed " << seed;
}

}  // namespace
}  // namespace pellimor
