#include "graph/moves.hpp"

#include <gtest/gtest.h>

#include "mixed_graphs.hpp"

namespace pellimor {
namespace {

// The walk's moves written out as plainly as possible: the precondition on
// the cells, tested in order, and the change. Returns false, leaving m
// alone, when the precondition fails.
bool plain_move(EdgeMatrix& m, int kind, int x, int y, int z) {
    auto empty = [&](int a, int b) { return m[a][b] == EDGE_NONE && m[b][a] == EDGE_NONE; };
    const bool distinct = x != y && (kind < MOVE_ADD_VEE || (x != z && y != z));
    bool holds = false;
    switch (kind) {
        case MOVE_ADD_LINE:
            if ((holds = distinct && empty(x, y))) {
                m[x][y] = m[y][x] = EDGE_LINE;
            }
            break;
        case MOVE_REMOVE_LINE:
            if ((holds = distinct && m[x][y] == EDGE_LINE)) {
                m[x][y] = m[y][x] = EDGE_NONE;
            }
            break;
        case MOVE_ADD_ARROW:
            if ((holds = distinct && empty(x, y))) {
                m[x][y] = EDGE_ARROW;
            }
            break;
        case MOVE_REMOVE_ARROW:
            if ((holds = distinct && m[x][y] == EDGE_ARROW)) {
                m[x][y] = EDGE_NONE;
            }
            break;
        case MOVE_ADD_VEE:
            if ((holds = distinct && empty(x, y) && empty(x, z) && empty(y, z))) {
                m[x][z] = m[y][z] = EDGE_ARROW;
            }
            break;
        case MOVE_REMOVE_VEE:
            if ((holds =
                     distinct && empty(x, y) && m[x][z] == EDGE_ARROW && m[y][z] == EDGE_ARROW)) {
                m[x][z] = m[y][z] = EDGE_NONE;
            }
            break;
        default:
            break;
    }
    return holds;
}

// The rules against the plain moves on every mixed graph on four vertices
// (not only the admissible ones) and every x, y, z: the same precondition,
// the same change, and an undo that restores the graph.
TEST(MoveRules, MatchThePlainMovesOnEveryGraphOnFourVertices) {
    const int n = 4;
    long changed = 0;
    testing::for_each_mixed_graph(n, [&](const EdgeMatrix& graph) {
        for (int kind = 0; kind < move_kind_count; ++kind) {
            for (int x = 0; x < n; ++x) {
                for (int y = 0; y < n; ++y) {
                    for (int z = 0; z < n; ++z) {
                        EdgeMatrix expected = graph;
                        const bool holds = plain_move(expected, kind, x, y, z);
                        const int v[3] = {x, y, z};
                        const auto k = static_cast<MoveKind>(kind);
                        ASSERT_EQ(precondition_holds(graph, k, v), holds)
                            << "kind " << kind << " x=" << x << " y=" << y << " z=" << z << " on "
                            << testing::edge_list(graph);
                        if (!holds) {
                            continue;
                        }
                        EdgeMatrix m = graph;
                        apply_change(m, k, v);
                        ASSERT_EQ(m, expected)
                            << "kind " << kind << " on " << testing::edge_list(graph);
                        undo_change(m, k, v);
                        ASSERT_EQ(m, graph) << "undo of kind " << kind;
                        ++changed;
                    }
                }
            }
        }
    });
    EXPECT_GT(changed, 0);
}

}  // namespace
}  // namespace pellimor
