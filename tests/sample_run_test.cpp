#include "sampler/sample_run.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "graph/admissibility.hpp"
#include "mixed_graphs.hpp"
#include "sampler/random_walk.hpp"

namespace pellimor {
namespace {

using testing::make_graph;

TEST(SampleFlags, NoLinesIgnoresArrows) {
    EXPECT_TRUE(has_no_lines(EdgeMatrix(1)));
    EXPECT_TRUE(has_no_lines(make_graph(3, {{0, 2, EDGE_ARROW}, {1, 2, EDGE_ARROW}})));
    EXPECT_FALSE(has_no_lines(make_graph(3, {{1, 2, EDGE_LINE}})));
}

TEST(SampleFlags, PathIsConnectedInAnyVertexOrder) {
    // 0 - (n-1) - (n-2) - ... - 1, with edges of every kind and direction.
    for (int n : {2, 3, 8, 65}) {
        EdgeMatrix m(n);
        int previous = 0;
        for (int step = 0, v = n - 1; v >= 1; --v, ++step) {
            switch (step % 3) {
                case 0:
                    m[previous][v] = EDGE_ARROW;
                    break;
                case 1:
                    m[v][previous] = EDGE_ARROW;
                    break;
                default:
                    m[v][previous] = m[previous][v] = EDGE_LINE;
                    break;
            }
            previous = v;
        }
        EXPECT_TRUE(is_connected(m)) << "n=" << n;
        // Cutting the path between cut + 1 and cut leaves two components.
        const int cut = n / 2;
        if (cut + 1 < n) {
            m[cut][cut + 1] = m[cut + 1][cut] = EDGE_NONE;
        }
        if (n > 2) {
            EXPECT_FALSE(is_connected(m)) << "n=" << n;
        }
    }
}

TEST(SampleFlags, EmptyGraphIsConnectedOnlyOnOneVertex) {
    EXPECT_TRUE(is_connected(EdgeMatrix(1)));
    EXPECT_FALSE(is_connected(EdgeMatrix(2)));
    // Vertex 0's component is complete, another one is not joined to it.
    EXPECT_FALSE(is_connected(make_graph(4, {{0, 1, EDGE_LINE}, {2, 3, EDGE_LINE}})));
}

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
