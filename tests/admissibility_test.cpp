#include "graph/admissibility.hpp"

#include <gtest/gtest.h>

#include "mixed_graphs.hpp"

namespace pellimor {
namespace {

using testing::make_graph;

constexpr EdgeCode A = EDGE_ARROW;
constexpr EdgeCode L = EDGE_LINE;

TEST(IsAdmissible, EmptyGraphIsAdmissibleAtEverySize) {
    for (int n : {1, 2, 5, 64, 65}) {
        EXPECT_TRUE(is_admissible(EdgeMatrix(n))) << "n=" << n;
    }
}

TEST(IsAdmissible, LoneArrowIsUnprotectedLoneLineIsFine) {
    EXPECT_FALSE(is_admissible(make_graph(2, {{0, 1, A}})));
    EXPECT_FALSE(is_admissible(make_graph(2, {{1, 0, A}})));
    EXPECT_TRUE(is_admissible(make_graph(2, {{0, 1, L}})));
}

TEST(IsAdmissible, VeeProtectsBothArrows) {
    EXPECT_TRUE(is_admissible(make_graph(3, {{0, 2, A}, {1, 2, A}})));
    // Tails joined: a triangle of arrows is not an essential graph.
    EXPECT_FALSE(is_admissible(make_graph(3, {{0, 2, A}, {1, 2, A}, {0, 1, L}})));
}

TEST(IsAdmissible, ArrowsMustCloseOverLines) {
    // 0 -> 2 <- 1 and 2 - 3 needs 0 -> 3 and 1 -> 3.
    EXPECT_FALSE(is_admissible(make_graph(4, {{0, 2, A}, {1, 2, A}, {2, 3, L}})));
    EXPECT_TRUE(
        is_admissible(make_graph(4, {{0, 2, A}, {1, 2, A}, {2, 3, L}, {0, 3, A}, {1, 3, A}})));
}

TEST(IsAdmissible, ChainIsProtectedOnlyFromAVeeAbove) {
    // 0 -> 1 -> 2: 1 -> 2 is protected through 0, but 0 -> 1 is not.
    EXPECT_FALSE(is_admissible(make_graph(3, {{0, 1, A}, {1, 2, A}})));
    // Parents 3 and 4 of 0 protect each other and then 0 -> 1.
    EXPECT_TRUE(is_admissible(make_graph(5, {{0, 1, A}, {1, 2, A}, {3, 0, A}, {4, 0, A}})));
}

TEST(IsAdmissible, DirectedCycleFails) {
    // 0 -> 1 -> 2 -> 0, each arrow protected through an outside parent of
    // its head (3 -> 0, 4 -> 1, 5 -> 2), so only the cycle is wrong.
    auto m = make_graph(6, {{0, 1, A}, {1, 2, A}, {2, 0, A}, {3, 0, A}, {4, 1, A}, {5, 2, A}});
    EXPECT_FALSE(is_admissible(m));
    m[2][0] = EDGE_NONE;
    m[3][0] = EDGE_NONE;
    m[3][1] = A;  // 0 -> 1 <- 3, 4 -> 1, 1 -> 2 <- 5: acyclic and protected
    m[0][1] = A;
    EXPECT_TRUE(is_admissible(m));
}

TEST(IsAdmissible, LinePartMustBeChordal) {
    auto square = make_graph(4, {{0, 1, L}, {1, 2, L}, {2, 3, L}, {3, 0, L}});
    EXPECT_FALSE(is_admissible(square));
    square[0][2] = square[2][0] = L;
    EXPECT_TRUE(is_admissible(square));
}

TEST(IsAdmissible, TransitiveTriangleLeavesFirstArrowUnprotected) {
    EXPECT_FALSE(is_admissible(make_graph(3, {{0, 1, A}, {1, 2, A}, {0, 2, A}})));
}

TEST(IsAdmissible, TwoNonAdjacentLineNeighboursProtectAnArrow) {
    // 1 - 0 - 2, all three point to 3: 0 -> 3 is protected only by D.
    auto m = make_graph(4, {{0, 1, L}, {0, 2, L}, {0, 3, A}, {1, 3, A}, {2, 3, A}});
    EXPECT_TRUE(is_admissible(m));
    // Joining the two neighbours removes that protection.
    m[1][2] = m[2][1] = L;
    EXPECT_FALSE(is_admissible(m));
}

TEST(IsAdmissible, CountsOfEssentialGraphsOnFewVertices) {
    // The numbers of Markov equivalence classes of DAGs on 1 to 5 vertices.
    const int expected[] = {1, 2, 11, 185, 8782};
    for (int n = 1; n <= 5; ++n) {
        int admissible = 0;
        testing::for_each_mixed_graph(n,
                                      [&](const EdgeMatrix& m) { admissible += is_admissible(m); });
        EXPECT_EQ(admissible, expected[n - 1]) << "n=" << n;
    }
}

}  // namespace
}  // namespace pellimor
