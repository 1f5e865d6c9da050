#include "graph/vertex_rows.hpp"

#include <gtest/gtest.h>

#include "mixed_graphs.hpp"
#include "sampler/random.hpp"

namespace pellimor {
namespace {

// A mixed graph with about three pairs in `spread` joined, each way or by a line.
EdgeMatrix random_graph(int n, std::uint64_t seed, std::uint64_t spread) {
    Xoshiro256StarStar rng(seed);
    EdgeMatrix m(n);
    for (int a = 0; a < n; ++a) {
        for (int b = a + 1; b < n; ++b) {
            testing::set_pair(m, a, b, static_cast<int>(rng() % spread) + 1);
        }
    }
    return m;
}

// Every bit of every row against the cell it stands for, read bit by bit.
void expect_rows_of(const VertexRows& rows, const EdgeMatrix& m) {
    for (int v = 0; v < m.size(); ++v) {
        for (int u = 0; u < m.size(); ++u) {
            ASSERT_EQ(rows.has(VertexRows::PARENTS, v, u), m[u][v] == EDGE_ARROW) << v << " " << u;
            ASSERT_EQ(rows.has(VertexRows::CHILDREN, v, u), m[v][u] == EDGE_ARROW) << v << " " << u;
            ASSERT_EQ(rows.has(VertexRows::LINES, v, u), m[v][u] == EDGE_LINE) << v << " " << u;
            ASSERT_EQ(rows.has(VertexRows::ADJACENT, v, u), u == v || adjacent(m, v, u))
                << v << " " << u;
        }
    }
}

class VertexRowsAt : public ::testing::TestWithParam<int> {};

// The rows of a graph, then links and unlinks made both in the rows (at the
// width's own code and at the general one) and in the cells.
TEST_P(VertexRowsAt, HoldTheCellsThroughLinksAndUnlinks) {
    const int n = GetParam();
    EdgeMatrix m = random_graph(n, 5 + static_cast<std::uint64_t>(n), 8);
    VertexRows rows(m);
    ASSERT_EQ(rows.words(), words_for(n));
    expect_rows_of(rows, m);
    EXPECT_TRUE(rows.consistent_with(m));
    if (n < 2) {
        return;
    }
    Xoshiro256StarStar rng(11);
    for (int step = 0; step < 200; ++step) {
        const int x = static_cast<int>(rng() % static_cast<std::uint64_t>(n));
        const int y = static_cast<int>(rng() % static_cast<std::uint64_t>(n));
        if (x == y) {
            continue;
        }
        auto change = [&](auto view) {
            if (m[x][y] == EDGE_ARROW) {
                view.unlink_arrow(x, y);
                m[x][y] = EDGE_NONE;
            } else if (m[x][y] == EDGE_LINE) {
                view.unlink_line(x, y);
                m[x][y] = m[y][x] = EDGE_NONE;
            } else if (m[y][x] == EDGE_NONE && step % 2 == 0) {
                view.link_arrow(x, y);
                m[x][y] = EDGE_ARROW;
            } else if (m[y][x] == EDGE_NONE) {
                view.link_line(x, y);
                m[x][y] = m[y][x] = EDGE_LINE;
            }
        };
        if (step % 3 == 0) {
            change(RowsView<0>(rows));
        } else if (rows.words() == 1) {
            change(RowsView<1>(rows));
        } else if (rows.words() == 2) {
            change(RowsView<2>(rows));
        } else {
            change(RowsView<3>(rows));
        }
        ASSERT_TRUE(rows.consistent_with(m)) << "step " << step;
    }
    expect_rows_of(rows, m);
}

INSTANTIATE_TEST_SUITE_P(BoundarySizes, VertexRowsAt,
                         ::testing::Values(1, 2, 63, 64, 65, 130, 192));

// consistent_with notices one cell that changed behind the rows' back, of
// each code and on either side of a word boundary.
TEST(VertexRows, ConsistentWithFindsOneChangedCell) {
    const EdgeMatrix m = random_graph(130, 3, 6);
    const VertexRows rows(m);
    ASSERT_TRUE(rows.consistent_with(m));
    for (const auto& [a, b] : {std::pair{0, 1}, std::pair{63, 64}, std::pair{129, 2}}) {
        for (EdgeCode code : {EDGE_NONE, EDGE_ARROW, EDGE_LINE}) {
            EdgeMatrix changed = m;
            if (changed[a][b] == code) {
                continue;
            }
            changed[a][b] = code;
            EXPECT_FALSE(rows.consistent_with(changed)) << a << " " << b << " " << code;
        }
    }
    EXPECT_FALSE(rows.consistent_with(EdgeMatrix(129)));
}

}  // namespace
}  // namespace pellimor
