#include "graph/move_screen.hpp"

#include <gtest/gtest.h>

#include "graph/admissibility.hpp"
#include "graph/moves.hpp"
#include "mixed_graphs.hpp"

namespace pellimor {
namespace {

// On every admissible graph on n vertices and every kind, x, y and z: the
// three screens agree; a move they pass has its precondition on the cells;
// and a move whose precondition holds and whose changed graph is admissible
// is never screened out.
void check_screens_on_every_graph(int n) {
    long passed = 0;
    long screened_out = 0;
    for (const EdgeMatrix& graph : testing::admissible_graphs(n)) {
        const VertexRows rows(graph);
        for (int x = 0; x < n; ++x) {
            for (int y = 0; y < n; ++y) {
                for (int z = 0; z < n; ++z) {
                    const unsigned bits = screen_moves<1>(rows, x, y, z);
                    const std::string where = "x=" + std::to_string(x) + " y=" + std::to_string(y) +
                                              " z=" + std::to_string(z) + " on " +
                                              testing::edge_list(graph);
                    ASSERT_EQ(bits, screen_moves<0>(rows, x, y, z)) << where;
                    ASSERT_EQ(bits & ~0x7eu, 0u) << where;
                    for (int kind = 0; kind < move_kind_count; ++kind) {
                        const bool bit = ((bits >> kind) & 1u) != 0;
                        ASSERT_EQ(screen_move_one_word(rows, static_cast<std::uint64_t>(kind),
                                                       static_cast<std::uint64_t>(x),
                                                       static_cast<std::uint64_t>(y),
                                                       static_cast<std::uint64_t>(z)),
                                  bit)
                            << "kind " << kind << " " << where;
                        const int v[3] = {x, y, z};
                        const auto k = static_cast<MoveKind>(kind);
                        const bool holds = precondition_holds(graph, k, v);
                        ASSERT_TRUE(holds || !bit) << "kind " << kind << " " << where;
                        if (holds) {
                            EdgeMatrix changed = graph;
                            apply_change(changed, k, v);
                            ASSERT_TRUE(bit || !is_admissible(changed))
                                << "kind " << kind << " screened out " << where;
                            screened_out += !bit;
                        }
                        passed += bit;
                    }
                }
            }
        }
    }
    // Both outcomes met: the screens do throw moves away.
    EXPECT_GT(passed, 0);
    EXPECT_GT(screened_out, 0);
}

class MoveScreen : public ::testing::TestWithParam<int> {};

TEST_P(MoveScreen, AgreeWithThePreconditionsOnEveryMoveOfEveryGraph) {
    check_screens_on_every_graph(GetParam());
}

INSTANTIATE_TEST_SUITE_P(FourAndFiveVertices, MoveScreen, ::testing::Values(4, 5));

}  // namespace
}  // namespace pellimor
