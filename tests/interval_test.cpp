#include "stats/interval.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace pellimor {
namespace {

TEST(WilsonInterval, KnownValues) {
    // Hand-computed with z = 1.96: 5 of 10, 0 of 10, 10 of 10.
    const Interval half = wilson_interval(5, 10);
    EXPECT_NEAR(half.low, 0.236593, 1e-5);
    EXPECT_NEAR(half.high, 0.763407, 1e-5);
    const Interval none = wilson_interval(0, 10);
    EXPECT_EQ(none.low, 0.0);
    EXPECT_NEAR(none.high, 0.277533, 1e-5);
    const Interval all = wilson_interval(10, 10);
    EXPECT_NEAR(all.low, 1 - 0.277533, 1e-5);
    EXPECT_EQ(all.high, 1.0);
    EXPECT_TRUE(std::isnan(wilson_interval(0, 0).estimate));
}

TEST(ZScore, ZeroVarianceGivesZeroOrInfinity) {
    EXPECT_EQ(z_score(0.25, 0, 0.25, 0), 0.0);
    EXPECT_EQ(z_score(0.5, 0, 0.25, 0), INFINITY);
    EXPECT_EQ(z_score(0.0, 0, 0.25, 0), -INFINITY);
    EXPECT_DOUBLE_EQ(z_score(3, 3, 1, 4), 0.4);
    // An estimate that is the exact value but for rounding, with no spread
    // or only the spread of rounding: z = 0, not an infinity.
    const double sixth = 1.0 / 6;
    for (const double se : {0.0, 1e-18}) {
        EXPECT_EQ(z_score(std::nextafter(sixth, 1.0), se, sixth, 0), 0.0) << se;
        EXPECT_EQ(z_score(std::nextafter(sixth, 0.0), se, sixth, 0), 0.0) << se;
    }
    EXPECT_EQ(z_score(sixth * (1 + 1e-6), 0, sixth, 0), INFINITY);
}

// Merging two accumulators must give what one pass over all values gives.
TEST(Accumulators, MergeEqualsOnePass) {
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> u(0, 10);
    MeanAccumulator all, first, second;
    RatioAccumulator ratio_all, ratio_first, ratio_second;
    for (int i = 0; i < 300; ++i) {
        const double x = u(rng) + 1;
        const double y = 0.3 * x + u(rng);
        all.add(x);
        ratio_all.add(x, y);
        (i < 100 ? first : second).add(x);
        (i < 100 ? ratio_first : ratio_second).add(x, y);
    }
    first.merge(second);
    ratio_first.merge(ratio_second);
    EXPECT_EQ(first.count, all.count);
    EXPECT_NEAR(first.mean, all.mean, 1e-12);
    EXPECT_NEAR(first.standard_error(), all.standard_error(), 1e-12);
    EXPECT_NEAR(ratio_first.ratio(), ratio_all.ratio(), 1e-12);
    EXPECT_NEAR(ratio_first.standard_error(), ratio_all.standard_error(), 1e-12);
}

// The delta-method interval of sum y / sum x must cover the true ratio about
// 95% of the time. x is 1..20 trials, y the successes among them at p = 0.3,
// so the true ratio is 0.3; x varies widely, so the covariance term matters.
TEST(RatioAccumulator, IntervalCoversTrueRatio) {
    const std::uint64_t seed = 20240611;
    std::mt19937_64 rng(seed);
    std::uniform_int_distribution<int> trials(1, 20);
    const int runs = 1000;
    int covered = 0;
    for (int run = 0; run < runs; ++run) {
        RatioAccumulator a;
        for (int i = 0; i < 100; ++i) {
            const int x = trials(rng);
            std::binomial_distribution<int> successes(x, 0.3);
            a.add(x, successes(rng));
        }
        const Interval r = a.interval();
        covered += r.low <= 0.3 && 0.3 <= r.high ? 1 : 0;
    }
    // 95% of 1000 is 950 with a standard error of 6.9.
    EXPECT_GE(covered, 922) << "seed " << seed;
    EXPECT_LE(covered, 978) << "seed " << seed << " covered " << covered;
}

}  // namespace
}  // namespace pellimor
