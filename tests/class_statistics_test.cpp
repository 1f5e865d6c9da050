// The statistics of one class, by both routes (from a DAG with its essential
// graph, and from the essential graph as a matrix).

#include "graph/class_statistics.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "dag_classes.hpp"

namespace pellimor {
namespace {

using Pairs = std::vector<std::pair<int, int>>;

// A hand-built class: a member DAG (arrows u -> v), which lines of the
// essential graph it has, and what its statistics must be.
struct HandBuilt {
    const char* name;
    int n;
    Pairs dag;
    Pairs lines;  // of those arrows, the reversible ones
    ClassStatistics expected;
};

void expect_statistics(const ClassStatistics& got, const ClassStatistics& want, const char* how) {
    EXPECT_EQ(got.edges, want.edges) << how;
    EXPECT_EQ(got.lines, want.lines) << how;
    EXPECT_EQ(got.arrows, want.arrows) << how;
    EXPECT_EQ(got.vees, want.vees) << how;
    EXPECT_EQ(got.chain_components, want.chain_components) << how;
    EXPECT_EQ(got.largest_chain_component, want.largest_chain_component) << how;
    EXPECT_EQ(got.size, want.size) << how;
    EXPECT_NEAR(got.log10_size, want.log10_size, 1e-12) << how;
}

ClassStatistics of_dag(const testing::SmallDag& dag, double size, bool vees = true) {
    OrderedDag ordered;
    std::vector<int> order;
    testing::to_ordered(dag, ordered, order);
    EssentialGraph eg(dag.n);
    eg.build(ordered);
    ClassStatistics out;
    ClassStatisticsCounter(dag.n).of_dag(ordered, eg, size, vees, out);
    return out;
}

ClassStatistics of_matrix(const EdgeMatrix& m, bool vees = true) {
    ClassSizeCounter sizes(m.size());
    ClassStatistics out;
    ClassStatisticsCounter(m.size()).of_matrix(m, sizes, vees, out);
    return out;
}

std::vector<HandBuilt> hand_built() {
    std::vector<HandBuilt> cases{
        {"vee", 3, {{0, 2}, {1, 2}}, {}, {2, 0, 2, 1, 0, 1, 1, 0}},
        {"4-cycle of lines with a chord",
         4,
         {{0, 1}, {1, 2}, {2, 3}, {0, 3}, {0, 2}},
         {{0, 1}, {1, 2}, {2, 3}, {0, 3}, {0, 2}},
         {5, 5, 0, 0, 1, 4, 10, std::log10(10.0)}},
        {"tree of lines",
         5,
         {{0, 1}, {1, 2}, {1, 3}, {3, 4}},
         {{0, 1}, {1, 2}, {1, 3}, {3, 4}},
         {4, 4, 0, 0, 1, 5, 5, std::log10(5.0)}},
        {"two lines and a lone vertex",
         5,
         {{0, 1}, {2, 3}},
         {{0, 1}, {2, 3}},
         {2, 2, 0, 0, 2, 2, 4, std::log10(4.0)}},
        {"a vee whose head has a child", 4, {{0, 2}, {1, 2}, {2, 3}}, {}, {3, 0, 3, 1, 0, 1, 1, 0}},
    };
    double factorial = 1;
    for (int k = 1; k <= 6; ++k) {
        factorial *= k;
        HandBuilt clique{"complete graph of lines", k, {}, {}, {}};
        for (int a = 0; a < k; ++a) {
            for (int b = a + 1; b < k; ++b) {
                clique.dag.emplace_back(a, b);
                clique.lines.emplace_back(a, b);
            }
        }
        const auto edges = static_cast<std::int64_t>(clique.dag.size());
        clique.expected = {edges, edges, 0, 0, k > 1 ? 1 : 0, k, factorial, std::log10(factorial)};
        cases.push_back(clique);
    }
    return cases;
}

TEST(ClassStatistics, HandBuiltClassesByBothRoutes) {
    for (const HandBuilt& c : hand_built()) {
        SCOPED_TRACE(::testing::Message() << c.name << ", n = " << c.n);
        testing::SmallDag dag{c.n, std::vector<std::uint32_t>(c.n, 0)};
        EdgeMatrix m(c.n);
        for (const auto& [u, v] : c.dag) {
            dag.parents[v] |= std::uint32_t{1} << u;
            m[u][v] = EDGE_ARROW;
        }
        for (const auto& [u, v] : c.lines) {
            m[u][v] = m[v][u] = EDGE_LINE;
        }
        expect_statistics(of_dag(dag, c.expected.size), c.expected, "from the DAG");
        expect_statistics(of_matrix(m), c.expected, "from the matrix");
        EXPECT_EQ(of_matrix(m, false).vees, -1);
        EXPECT_EQ(of_dag(dag, c.expected.size, false).vees, -1);
    }
}

// Every class on 5 vertices: the matrix route's size is the brute-force
// class size and its vees those of a member; the DAG route agrees in every
// field.
TEST(ClassStatistics, BothRoutesMatchTheBruteForceClassesOnFiveVertices) {
    const int n = 5;
    const auto dags = testing::all_dags(n);
    const auto classes = testing::group_classes(dags);
    ClassSizeCounter sizes(n);
    ClassStatisticsCounter counter(n);
    for (const auto& c : classes) {
        const testing::SmallDag& member = dags[static_cast<std::size_t>(c.members.front())];
        std::int64_t vees = 0;
        for (int z = 0; z < n; ++z) {
            for (int x = 0; x < n; ++x) {
                for (int y = x + 1; y < n; ++y) {
                    const bool parents =
                        (member.parents[z] >> x & 1) && (member.parents[z] >> y & 1);
                    const bool adjacent =
                        (member.parents[x] >> y & 1) || (member.parents[y] >> x & 1);
                    vees += parents && !adjacent ? 1 : 0;
                }
            }
        }
        ClassStatistics from_matrix;
        counter.of_matrix(c.essential, sizes, true, from_matrix);
        ASSERT_EQ(from_matrix.size, static_cast<double>(c.members.size()));
        ASSERT_EQ(from_matrix.vees, vees);
        expect_statistics(of_dag(member, from_matrix.size), from_matrix, "DAG against matrix");
    }
}

// Past the range of a double: s is +inf and log10 s the sum over the chain
// components, a clique of k vertices giving log10 k!.
TEST(ClassStatistics, SizeBeyondDoubleKeepsItsLogarithm) {
    for (const auto& [n, clique] : std::vector<std::pair<int, int>>{{180, 180}, {200, 100}}) {
        EdgeMatrix m(n);
        for (int start = 0; start + clique <= n; start += clique) {
            for (int a = start; a < start + clique; ++a) {
                for (int b = a + 1; b < start + clique; ++b) {
                    m[a][b] = m[b][a] = EDGE_LINE;
                }
            }
        }
        const ClassStatistics c = of_matrix(m, false);
        EXPECT_EQ(c.size, INFINITY) << n;
        const double log10_factorial = std::lgamma(clique + 1.0) / std::log(10.0);
        EXPECT_NEAR(c.log10_size, (n / clique) * log10_factorial, 1e-9) << n;
        EXPECT_EQ(c.chain_components, n / clique);
        EXPECT_EQ(c.largest_chain_component, clique);
    }
}

}  // namespace
}  // namespace pellimor
