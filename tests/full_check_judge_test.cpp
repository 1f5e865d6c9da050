#include "sampler/full_check_judge.hpp"

#include <gtest/gtest.h>

#include "graph/admissibility.hpp"
#include "mixed_graphs.hpp"

namespace pellimor {
namespace {

// Every move on every admissible graph on four vertices: kept exactly when
// the precondition holds and the changed graph is admissible, and then the
// cells are the changed graph; otherwise they are as before.
TEST(FullCheckJudge, KeepsExactlyTheAdmissibleChangesOnFourVertices) {
    const int n = 4;
    long kept = 0;
    long undone = 0;
    for (const EdgeMatrix& graph : testing::admissible_graphs(n)) {
        for (int kind = 0; kind < move_kind_count; ++kind) {
            for (int x = 0; x < n; ++x) {
                for (int y = 0; y < n; ++y) {
                    for (int z = 0; z < n; ++z) {
                        const int v[3] = {x, y, z};
                        const auto k = static_cast<MoveKind>(kind);
                        EdgeMatrix expected = graph;
                        const bool holds = precondition_holds(graph, k, v);
                        if (holds) {
                            apply_change(expected, k, v);
                        }
                        const bool admissible = holds && is_admissible(expected);
                        EdgeMatrix m = graph;
                        FullCheckJudge judge(m);
                        ASSERT_EQ(judge.try_move(k, x, y, z), admissible)
                            << "kind " << kind << " on " << testing::edge_list(graph);
                        ASSERT_EQ(m, admissible ? expected : graph)
                            << "kind " << kind << " on " << testing::edge_list(graph);
                        kept += admissible;
                        undone += holds && !admissible;
                    }
                }
            }
        }
    }
    EXPECT_GT(kept, 0);
    EXPECT_GT(undone, 0);
}

}  // namespace
}  // namespace pellimor
