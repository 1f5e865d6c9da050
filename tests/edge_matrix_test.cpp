#include "graph/edge_matrix.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <new>

namespace pellimor {
namespace {

TEST(EdgeMatrix, StartsEmptyAtBoundarySizes) {
    for (int n : {1, 2, 63, 64, 65}) {
        EdgeMatrix m(n);
        ASSERT_EQ(m.size(), n);
        for (int r = 0; r < n; ++r) {
            for (int c = 0; c < n; ++c) {
                ASSERT_EQ(m[r][c], EDGE_NONE) << "n=" << n << " cell " << r << "," << c;
            }
        }
    }
}

TEST(EdgeMatrix, RowsDoNotOverlap) {
    EdgeMatrix m(3);
    m[0][2] = EDGE_ARROW;
    m[1][0] = EDGE_LINE;
    EXPECT_EQ(m[0][2], EDGE_ARROW);
    EXPECT_EQ(m[1][0], EDGE_LINE);
    EXPECT_EQ(m[1][2], EDGE_NONE);
    EXPECT_EQ(m[2][0], EDGE_NONE);
    EXPECT_TRUE(adjacent(m, 2, 0));
    EXPECT_TRUE(adjacent(m, 0, 1));
    EXPECT_FALSE(adjacent(m, 1, 2));
}

TEST(EdgeMatrix, CopiesCompareByCells) {
    EdgeMatrix a(4);
    EdgeMatrix b = a;
    EXPECT_EQ(a, b);
    b[3][1] = EDGE_ARROW;
    EXPECT_NE(a, b);
    EXPECT_NE(EdgeMatrix(3), EdgeMatrix(4));
}

TEST(EdgeMatrix, ImpossibleSizeFailsAsAllocationFailure) {
    // INT_MAX^2 cells exceed what a vector may hold; nothing is allocated.
    EXPECT_THROW(EdgeMatrix(INT_MAX), std::bad_alloc);
    EXPECT_THROW(EdgeMatrix(-1), std::invalid_argument);
}

}  // namespace
}  // namespace pellimor
