#include "graph/directed_layering.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "mixed_graphs.hpp"

namespace pellimor {
namespace {

using testing::make_graph;

int layering(const EdgeMatrix& m) {
    std::vector<int> level(m.size(), 99);
    return directed_layering(level, m);
}

TEST(DirectedLayering, NoArrowsEndsAfterOneRound) {
    EXPECT_EQ(layering(EdgeMatrix(1)), 0);
    EXPECT_EQ(layering(make_graph(3, {{0, 1, EDGE_LINE}, {1, 2, EDGE_LINE}})), 0);
}

TEST(DirectedLayering, ChainThroughAllVerticesIsAcyclic) {
    for (int n : {2, 3, 7}) {
        EdgeMatrix m(n);
        for (int v = 0; v + 1 < n; ++v) {
            m[v][v + 1] = EDGE_ARROW;
        }
        EXPECT_EQ(layering(m), n - 1) << "n=" << n;
        // The same chain visited against index order.
        EdgeMatrix reversed(n);
        for (int v = n - 1; v > 0; --v) {
            reversed[v][v - 1] = EDGE_ARROW;
        }
        EXPECT_EQ(layering(reversed), n - 1) << "n=" << n;
    }
}

TEST(DirectedLayering, DirectedCyclesOfEveryLengthAreFound) {
    for (int length = 3; length <= 6; ++length) {
        EdgeMatrix m(length + 1);
        for (int v = 0; v < length; ++v) {
            m[v][(v + 1) % length] = EDGE_ARROW;
        }
        EXPECT_EQ(layering(m), -1) << "cycle of " << length;
    }
}

TEST(DirectedLayering, LinesDoNotCloseCycles) {
    // 0 -> 1 -> 2 - 0: a cycle only if the line counted.
    EXPECT_GE(layering(make_graph(3, {{0, 1, EDGE_ARROW}, {1, 2, EDGE_ARROW}, {2, 0, EDGE_LINE}})),
              0);
}

TEST(DirectedLayering, LevelsAreLongestChains) {
    // 0 -> 1 -> 2 and 0 -> 2: vertex 2 ends on level 2.
    auto m = make_graph(3, {{0, 1, EDGE_ARROW}, {1, 2, EDGE_ARROW}, {0, 2, EDGE_ARROW}});
    std::vector<int> level(3, 99);
    EXPECT_EQ(directed_layering(level, m), 2);
    EXPECT_EQ(level, (std::vector<int>{0, 1, 2}));
}

}  // namespace
}  // namespace pellimor
