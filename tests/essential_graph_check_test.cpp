// The complete test of an essential graph that says where it fails: the
// same verdict as the admissibility test on every mixed graph of up to 5
// vertices and on random near-essential graphs, each violation it names
// checked against its definition, and the messages a user sees.

#include "graph/essential_graph_check.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "formats/edge_list.hpp"
#include "graph/admissibility.hpp"
#include "graph/graph_class.hpp"
#include "graph/graph_error.hpp"
#include "mixed_graphs.hpp"
#include "user_graphs.hpp"

namespace pellimor {
namespace {

MixedGraph from_matrix(const EdgeMatrix& m) {
    MixedGraph g;
    g.n = m.size();
    for (int a = 0; a < g.n; ++a) {
        for (int b = 0; b < g.n; ++b) {
            if (m[a][b] == EDGE_ARROW) {
                g.arrows.push_back({a, b});
            } else if (m[a][b] == EDGE_LINE && a < b) {
                g.lines.push_back({a, b});
            }
        }
    }
    return g;
}

EdgeMatrix to_matrix(const MixedGraph& g) {
    EdgeMatrix m(g.n);
    for (const VertexPair& a : g.arrows) {
        m[a.from][a.to] = EDGE_ARROW;
    }
    for (const VertexPair& l : g.lines) {
        m[l.from][l.to] = m[l.to][l.from] = EDGE_LINE;
    }
    return m;
}

// Empty when the violation is what it says it is in m, else what is wrong.
std::string genuine(const EdgeMatrix& m, const Violation& v) {
    const std::vector<int>& x = v.vertices;
    auto arrow = [&](int a, int b) { return m[a][b] == EDGE_ARROW; };
    auto line = [&](int a, int b) { return m[a][b] == EDGE_LINE; };
    auto adjacent = [&](int a, int b) { return pellimor::adjacent(m, a, b); };
    const auto k = x.size();
    switch (v.kind) {
        case ViolationKind::DIRECTED_CYCLE:
            for (std::size_t i = 0; i < k; ++i) {
                if (!arrow(x[i], x[(i + 1) % k])) {
                    return "not a directed cycle";
                }
            }
            return "";
        case ViolationKind::MIXED_CYCLE:
            return arrow(x[0], x[1]) && line(x[1], x[2]) && (arrow(x[2], x[0]) || line(x[2], x[0]))
                       ? ""
                       : "not a cycle of arrows and lines";
        case ViolationKind::FORBIDDEN_CONFIGURATION:
            return arrow(x[0], x[1]) && line(x[1], x[2]) && !adjacent(x[0], x[2])
                       ? ""
                       : "not a -> b -- c with a, c apart";
        case ViolationKind::NOT_CHORDAL:
            if (k < 4) {
                return "cycle shorter than 4";
            }
            for (std::size_t i = 0; i < k; ++i) {
                for (std::size_t j = i + 1; j < k; ++j) {
                    const bool next = j == i + 1 || (i == 0 && j == k - 1);
                    if (next != line(x[i], x[j]) || (!next && adjacent(x[i], x[j]))) {
                        return "not a chordless cycle of lines";
                    }
                }
            }
            return "";
        case ViolationKind::UNPROTECTED_ARROW: {
            const int a = x[0];
            const int b = x[1];
            if (!arrow(a, b)) {
                return "no such arrow";
            }
            for (int c = 0; c < m.size(); ++c) {
                if ((arrow(c, a) && !adjacent(c, b)) ||
                    (c != a && arrow(c, b) && !adjacent(c, a)) || (arrow(a, c) && arrow(c, b))) {
                    return "protected by one of the first three configurations";
                }
                for (int d = 0; d < m.size(); ++d) {
                    if (line(a, c) && line(a, d) && arrow(c, b) && arrow(d, b) && c != d &&
                        !adjacent(c, d)) {
                        return "protected by the fourth configuration";
                    }
                }
            }
            return "";
        }
    }
    return "unknown kind";
}

void expect_same_verdict(const EdgeMatrix& m) {
    const auto violation = find_essential_graph_violation(from_matrix(m));
    ASSERT_EQ(!violation.has_value(), is_admissible(m)) << testing::edge_list(m);
    if (violation) {
        EXPECT_EQ(genuine(m, *violation), "") << testing::edge_list(m);
    }
}

TEST(EssentialGraphCheck, AgreesWithTheAdmissibilityTestOnEveryGraphUpTo5Vertices) {
    for (int n = 1; n <= 5; ++n) {
        testing::for_each_mixed_graph(n, [](const EdgeMatrix& m) { expect_same_verdict(m); });
    }
}

// Essential graphs of random DAGs on 6 to 12 vertices, each changed at one
// pair (an edge added, removed, turned or made a line), so that every
// condition is met or failed in all kinds of ways.
TEST(EssentialGraphCheck, AgreesWithTheAdmissibilityTestOnNearEssentialGraphs) {
    std::mt19937_64 rng(3);
    for (int trial = 0; trial < 3000; ++trial) {
        const int n = 6 + trial % 7;
        EdgeMatrix m = to_matrix(testing::random_essential_graph(rng, n, 0.3 + 0.1 * (trial % 4)));
        const int a = static_cast<int>(rng() % n);
        const int b = (a + 1 + static_cast<int>(rng() % (n - 1))) % n;
        testing::set_pair(m, a, b, static_cast<int>(rng() % 4));
        expect_same_verdict(m);
    }
}

struct Message {
    const char* name;
    const char* edges;
    std::vector<const char*> said;
};

class Messages : public ::testing::TestWithParam<Message> {};

TEST_P(Messages, NameTheConditionTheVerticesAndTheLines) {
    try {
        class_of(read_edge_list(GetParam().edges));
        ADD_FAILURE() << "accepted";
    } catch (const GraphError& e) {
        for (const char* part : GetParam().said) {
            EXPECT_NE(std::string(e.what()).find(part), std::string::npos)
                << "'" << part << "' not in: " << e.what();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Graphs, Messages,
    ::testing::Values(Message{"dag_cycle",
                              "x -> y\ny -> z\nz -> x\n",
                              {"not a DAG", "directed cycle", "lines 1, 2, 3"}},
                      Message{"mixed_cycle",
                              "a -> b\nb -- c\nc -> a\n",
                              {"not a CPDAG", "a -> b -- c -> a", "chain graph"}},
                      Message{
                          "forbidden",
                          "a -> b\nb -- c\n",
                          {"not a CPDAG", "a -> b -- c (lines 1, 2)", "not adjacent", "forbidden"}},
                      Message{"not_chordal",
                              "p -- q\nq -- r\nr -- s\ns -- p\n",
                              {"not chordal", "has no chord", "lines "}},
                      Message{"unprotected",
                              "a -> b\nb -> c\na -- d\n",
                              {"the arrow a -> b (line 1)", "not strongly protected"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pellimor
