#include "graph/matrix_queries.hpp"

#include <gtest/gtest.h>

#include "mixed_graphs.hpp"

namespace pellimor {
namespace {

using testing::make_graph;

TEST(MatrixQueries, NoLinesIgnoresArrows) {
    EXPECT_TRUE(has_no_lines(EdgeMatrix(1)));
    EXPECT_TRUE(has_no_lines(make_graph(3, {{0, 2, EDGE_ARROW}, {1, 2, EDGE_ARROW}})));
    EXPECT_FALSE(has_no_lines(make_graph(3, {{1, 2, EDGE_LINE}})));
}

TEST(MatrixQueries, PathIsConnectedInAnyVertexOrder) {
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

TEST(MatrixQueries, EmptyGraphIsConnectedOnlyOnOneVertex) {
    EXPECT_TRUE(is_connected(EdgeMatrix(1)));
    EXPECT_FALSE(is_connected(EdgeMatrix(2)));
    // Vertex 0's component is complete, another one is not joined to it.
    EXPECT_FALSE(is_connected(make_graph(4, {{0, 1, EDGE_LINE}, {2, 3, EDGE_LINE}})));
}

}  // namespace
}  // namespace pellimor
