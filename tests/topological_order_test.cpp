#include "graph/topological_order.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "mixed_graphs.hpp"
#include "sampler/random.hpp"

namespace pellimor {
namespace {

// Whether `from` reaches `to` by arrows of m, by a plain search.
bool reaches_by_cells(const EdgeMatrix& m, int from, int to) {
    std::vector<char> seen(m.size(), 0);
    std::vector<int> stack = {from};
    seen[from] = 1;
    while (!stack.empty()) {
        const int v = stack.back();
        stack.pop_back();
        for (int u = 0; u < m.size(); ++u) {
            if (m[v][u] == EDGE_ARROW && seen[u] == 0) {
                if (u == to) {
                    return true;
                }
                seen[u] = 1;
                stack.push_back(u);
            }
        }
    }
    return false;
}

TEST(TopologicalOrder, RejectsADirectedCycle) {
    const EdgeMatrix m =
        testing::make_graph(3, {{0, 1, EDGE_ARROW}, {1, 2, EDGE_ARROW}, {2, 0, EDGE_ARROW}});
    const VertexRows rows(m);
    EXPECT_THROW(TopologicalOrder{rows}, std::invalid_argument);
}

// Random arrows, most against vertex numbers, so that the order must be
// repaired on most of them: each one is kept unless it closes a cycle (which
// reaches must see exactly as a plain search does), and after each the order
// must still be topological.
void grow_acyclic(int n, std::uint64_t seed, int& repaired, int& refused) {
    EdgeMatrix m(n);
    VertexRows rows(m);
    TopologicalOrder order(rows);
    const RowsView<0> view(rows);
    Xoshiro256StarStar rng(seed);
    for (int step = 0; step < 4 * n; ++step) {
        int x = static_cast<int>(rng() % static_cast<std::uint64_t>(n));
        int y = static_cast<int>(rng() % static_cast<std::uint64_t>(n));
        if (x == y || adjacent(m, x, y)) {
            continue;
        }
        if (x < y && rng() % 4 != 0) {
            std::swap(x, y);
        }
        const int* position = order.position();
        const bool cycle = reaches_by_cells(m, y, x);
        if (position[y] < position[x]) {
            ASSERT_EQ(order.reaches(view, y, x, x, position[x]), cycle)
                << "n=" << n << " step " << step;
        } else {
            ASSERT_FALSE(cycle);
        }
        if (cycle) {
            ++refused;
            continue;
        }
        view.link_arrow(x, y);
        m[x][y] = EDGE_ARROW;
        if (position[y] < position[x]) {
            order.restore(view, x, y);
            ++repaired;
        }
        ASSERT_TRUE(order.consistent_with(rows)) << "n=" << n << " step " << step;
    }
}

TEST(TopologicalOrder, StaysTopologicalAsArrowsAreAddedAgainstIt) {
    int repaired = 0;
    int refused = 0;
    for (int n : {3, 8, 20, 70}) {
        grow_acyclic(n, 31 + static_cast<std::uint64_t>(n), repaired, refused);
    }
    EXPECT_GT(repaired, 0);
    EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace pellimor
