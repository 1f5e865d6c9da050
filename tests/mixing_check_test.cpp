#include "stats/mixing_check.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace pellimor {
namespace {

// Synthetic walk samples: the no-line flag is 1 with probability p and the
// line count 0 or 1 + Poisson; the half-walk graph is an independent draw
// with no-line probability half_p.
RunStatistics synthetic(double p, double half_p, int samples, std::uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::bernoulli_distribution full(p), half(half_p);
    std::poisson_distribution<int> lines(1.5);
    RunStatistics s;
    for (int i = 0; i < samples; ++i) {
        SampleResult r;
        r.no_lines = full(rng) ? 1 : 0;
        r.lines = r.no_lines ? 0 : 1 + lines(rng);
        r.half_no_lines = half(rng) ? 1 : 0;
        r.half_lines = r.half_no_lines ? 0 : 1 + lines(rng);
        s.add(r);
    }
    return s;
}

TEST(MixingCheck, PassesSamplesFromOneDistribution) {
    const RunStatistics walk = synthetic(0.32, 0.32, 2000, 1);
    const RunStatistics reference = synthetic(0.32, 0.32, 2000, 2);
    const MixingCheckResult result = check_mixing(1000, walk, 0.32, &reference, 0.5);
    EXPECT_TRUE(result.passed);
    EXPECT_TRUE(result.has_reference);
    EXPECT_NE(describe_mixing_check(result).find("2000 classes, 0.500 s"), std::string::npos);
    EXPECT_EQ(mixing_warning(result), "");
}

TEST(MixingCheck, FlagsAWalkThatDriftsInItsSecondHalf) {
    const RunStatistics walk = synthetic(0.32, 0.45, 2000, 3);
    const MixingCheckResult result = check_mixing(1000, walk, 0.32, nullptr);
    EXPECT_FALSE(result.exact_no_lines.flagged());
    EXPECT_FALSE(result.passed);
    EXPECT_TRUE(result.half_no_lines.flagged());
    EXPECT_LT(result.half_no_lines.z, -mixing_z_limit);  // fewer no-line graphs at the end
    const std::string warning = mixing_warning(result);
    EXPECT_NE(warning.find("walks of 1000 moves"), std::string::npos) << warning;
    EXPECT_NE(warning.find("biased"), std::string::npos) << warning;
    EXPECT_NE(warning.find("--start exact"), std::string::npos) << warning;
}

// A walk trapped alike in both halves: its share without lines is too far
// from the exact share, and its line counts from the reference's.
TEST(MixingCheck, FlagsAWalkAwayFromTheExactShareAndTheReference) {
    const RunStatistics walk = synthetic(0.40, 0.40, 2000, 4);
    const RunStatistics reference = synthetic(0.32, 0.32, 1000, 5);
    const MixingCheckResult result = check_mixing(1000, walk, 0.32, &reference);
    EXPECT_FALSE(result.passed);
    EXPECT_FALSE(result.half_no_lines.flagged());
    EXPECT_TRUE(result.exact_no_lines.flagged());
    EXPECT_NEAR(result.exact_no_lines.walk - result.exact_no_lines.other, 0.08, 0.03);
    EXPECT_NEAR(result.exact_no_lines.z, 0.08 / std::sqrt(0.32 * 0.68 / 2000), 1.5);
    EXPECT_FALSE(check_mixing(1000, walk, 0.40, nullptr).exact_no_lines.flagged());
    EXPECT_FALSE(check_mixing(1000, walk, 0.32, nullptr).passed);  // the exact share alone
    EXPECT_TRUE(result.reference_lines.flagged());
}

TEST(MixingCheck, IdenticalHalvesAndNoLinesAnywherePass) {
    // Every sample the same graph with lines: all variances are zero.
    RunStatistics walk;
    SampleResult r;
    r.lines = r.half_lines = 3;
    for (int i = 0; i < 100; ++i) {
        walk.add(r);
    }
    const MixingCheckResult same = check_mixing(10, walk, 0, &walk);
    EXPECT_TRUE(same.passed);
    EXPECT_EQ(same.half_lines.z, 0.0);
    EXPECT_EQ(same.exact_no_lines.z, 0.0);
    EXPECT_EQ(same.reference_lines.z, 0.0);
    RunStatistics shifted;
    r.half_lines = 2;
    for (int i = 0; i < 100; ++i) {
        shifted.add(r);
    }
    EXPECT_FALSE(check_mixing(10, shifted, 0, nullptr).passed);
}

// The half-walk share is counted, not a mean less a mean of differences:
// with these flags (every half-walk graph without lines) the difference of
// means comes to 1.0000000000000002.
TEST(MixingCheck, HalfWalkShareIsACount) {
    const std::string flags =
        "0101100001100110010011001110110001101011011111001100011110001011011101000100101100101101"
        "110101011011";
    RunStatistics walk;
    int ones = 0;
    for (const char flag : flags) {
        SampleResult r;
        r.no_lines = flag - '0';
        ones += r.no_lines;
        r.half_no_lines = 1;
        walk.add(r);
    }
    const MixingCheckResult result = check_mixing(1000, walk, 0.5, nullptr);
    EXPECT_EQ(result.half_no_lines.other, 1.0);
    EXPECT_EQ(result.half_no_lines.walk, ones / 100.0);
}

TEST(MixingCheck, ShortRunsAndEmptyWalksAreSkipped) {
    const RunStatistics walk = synthetic(0.32, 0.9, 99, 6);
    const MixingCheckResult short_run = check_mixing(1000, walk, 0.32, nullptr);
    ASSERT_TRUE(short_run.skipped);
    EXPECT_TRUE(short_run.passed);
    EXPECT_EQ(mixing_warning(short_run), "");
    EXPECT_TRUE(mixing_skip_reason(0, 5000));
    EXPECT_FALSE(mixing_skip_reason(1, 100));
    EXPECT_EQ(reference_sample_count(20), 1000);
    EXPECT_EQ(reference_sample_count(5000), 5000);
}

}  // namespace
}  // namespace pellimor
