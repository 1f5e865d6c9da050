#include "sampler/sample_run.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "graph/admissibility.hpp"
#include "sampler/random_walk.hpp"

namespace pellimor {
namespace {

TEST(RunSample, OneVertexOnlyStays) {
    const SampleResult r = run_sample(Settings{1, 5000, false}, 9, 1);
    EXPECT_GT(r.rates[MOVE_STAY], 0.1);
    for (int k = 1; k < move_kind_count; ++k) {
        EXPECT_EQ(r.rates[k], 0.0) << "kind " << k;
    }
    EXPECT_EQ(r.no_lines, 1);
    EXPECT_EQ(r.connected, 1);
}

TEST(RunSample, NoMovesGiveNotANumberRatesAndTheEmptyGraph) {
    const SampleResult one = run_sample(Settings{1, 0, false}, 9, 1);
    const SampleResult three = run_sample(Settings{3, 0, false}, 9, 1);
    for (int k = 0; k < move_kind_count; ++k) {
        EXPECT_TRUE(std::isnan(one.rates[k]));
        EXPECT_TRUE(std::isnan(three.rates[k]));
    }
    EXPECT_EQ(one.connected, 1);
    EXPECT_EQ(three.connected, 0);
    EXPECT_EQ(three.no_lines, 1);
}

TEST(RunSample, TwoVerticesNeverMakeAVee) {
    const SampleResult r = run_sample(Settings{2, 20000, false}, 3, 1);
    EXPECT_EQ(r.rates[MOVE_ADD_VEE], 0.0);
    EXPECT_EQ(r.rates[MOVE_REMOVE_VEE], 0.0);
    EXPECT_EQ(r.rates[MOVE_ADD_ARROW], 0.0);  // a lone arrow is never admissible
    EXPECT_GT(r.rates[MOVE_ADD_LINE], 0.0);
}

TEST(RunSample, SameSeedAndNumberRepeatOthersDiffer) {
    const Settings settings{7, 3000, false};
    const SampleResult a = run_sample(settings, 11, 5);
    const SampleResult b = run_sample(settings, 11, 5);
    for (int k = 0; k < move_kind_count; ++k) {
        EXPECT_EQ(a.rates[k], b.rates[k]);
    }
    int differing = 0;
    for (std::uint64_t sample = 1; sample <= 10; ++sample) {
        const SampleResult other = run_sample(settings, 11, 5 + sample);
        differing += other.rates[MOVE_STAY] != a.rates[MOVE_STAY];
    }
    EXPECT_GE(differing, 8);
}

// The halfway values are those of the same sample's walk cut at half its
// moves, for both judges.
TEST(RunSample, HalfwayValuesAreThoseOfTheWalkAfterHalfItsMoves) {
    std::int64_t lines = 0;
    for (bool full_check : {false, true}) {
        for (std::uint64_t sample = 1; sample <= 6; ++sample) {
            const SampleResult whole = run_sample(Settings{5, 601, full_check}, 4, sample);
            const SampleResult half = run_sample(Settings{5, 300, full_check}, 4, sample);
            EXPECT_EQ(whole.half_lines, half.lines) << "sample " << sample;
            EXPECT_EQ(whole.half_no_lines, half.no_lines) << "sample " << sample;
            lines += half.lines;
        }
    }
    EXPECT_GT(lines, 0);
}

}  // namespace
}  // namespace pellimor
