#include "graph/simplicial_elimination.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "mixed_graphs.hpp"

namespace pellimor {
namespace {

using testing::make_graph;

EdgeMatrix line_cycle(int n) {
    EdgeMatrix m(n);
    for (int v = 0; v < n; ++v) {
        const int w = (v + 1) % n;
        m[v][w] = m[w][v] = EDGE_LINE;
    }
    return m;
}

TEST(SimplicialElimination, GraphsWithoutLinesAreChordal) {
    EXPECT_TRUE(eliminate_simplicial(EdgeMatrix(1)));
    EXPECT_TRUE(eliminate_simplicial(EdgeMatrix(5)));
}

TEST(SimplicialElimination, TrianglesAndTreesAreChordal) {
    EXPECT_TRUE(eliminate_simplicial(line_cycle(3)));
    // A star and a path, centre and ends away from index order.
    EXPECT_TRUE(eliminate_simplicial(make_graph(
        5, {{4, 0, EDGE_LINE}, {4, 1, EDGE_LINE}, {4, 2, EDGE_LINE}, {4, 3, EDGE_LINE}})));
    EXPECT_TRUE(eliminate_simplicial(
        make_graph(4, {{2, 0, EDGE_LINE}, {0, 3, EDGE_LINE}, {3, 1, EDGE_LINE}})));
}

TEST(SimplicialElimination, ChordlessCyclesAreNotChordalUntilAChordIsAdded) {
    for (int n : {4, 5, 6}) {
        EdgeMatrix m = line_cycle(n);
        EXPECT_FALSE(eliminate_simplicial(m)) << "cycle of " << n;
    }
    EdgeMatrix square = line_cycle(4);
    square[0][2] = square[2][0] = EDGE_LINE;
    EXPECT_TRUE(eliminate_simplicial(square));
    // A chord in a 5-cycle leaves a chordless 4-cycle.
    EdgeMatrix pentagon = line_cycle(5);
    pentagon[0][2] = pentagon[2][0] = EDGE_LINE;
    EXPECT_FALSE(eliminate_simplicial(pentagon));
}

TEST(SimplicialElimination, VertexWithNonAdjacentNeighboursWaitsForOneOfThem) {
    // Path 1 - 0 - 2: vertex 0 is not simplicial until 1 or 2 is eliminated.
    auto m = make_graph(3, {{0, 1, EDGE_LINE}, {0, 2, EDGE_LINE}});
    std::vector<int> eliminated(3, 0);
    EXPECT_FALSE(is_simplicial(0, m, eliminated));
    EXPECT_TRUE(is_simplicial(1, m, eliminated));
    eliminated[1] = 1;
    EXPECT_TRUE(is_simplicial(0, m, eliminated));
}

}  // namespace
}  // namespace pellimor
