// Exact class sizes: closed forms and every class on up to 5 vertices
// against brute force, the DAG-to-essential-graph route against the classes
// found by brute force, and the GMP counts against the double route where
// that is exact.

#include "graph/equivalence_class.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "dag_classes.hpp"
#include "graph/class_size.hpp"
#include "graph/graph_class.hpp"
#include "user_graphs.hpp"

namespace pellimor {
namespace {

MixedGraph clique(int k) {
    MixedGraph g;
    g.n = k;
    for (int a = 0; a < k; ++a) {
        for (int b = a + 1; b < k; ++b) {
            g.lines.push_back({a, b});
        }
    }
    return g;
}

TEST(ExactClassSize, CliquesHaveKFactorialAndTreesKMembers) {
    std::mt19937_64 rng(2);
    mpz_class factorial = 1;
    for (int k = 1; k <= 6; ++k) {
        factorial *= k;
        const MixedGraph g = clique(k);
        EXPECT_EQ(EquivalenceClass(g).size(), factorial) << "clique " << k;
        EXPECT_EQ(testing::members_by_brute_force(g).size(), factorial.get_ui()) << "clique " << k;
    }
    for (int k = 2; k <= 10; ++k) {
        MixedGraph tree;  // each vertex joins a uniform earlier one
        tree.n = k;
        for (int v = 1; v < k; ++v) {
            tree.lines.push_back({static_cast<int>(rng() % static_cast<std::uint64_t>(v)), v});
        }
        EXPECT_EQ(EquivalenceClass(tree).size(), k);
        EXPECT_EQ(testing::members_by_brute_force(tree).size(), static_cast<std::size_t>(k));
    }
}

MixedGraph from_small_dag(const testing::SmallDag& dag) {
    MixedGraph g;
    g.n = dag.n;
    for (int v = 0; v < dag.n; ++v) {
        for (int u = 0; u < dag.n; ++u) {
            if ((dag.parents[static_cast<std::size_t>(v)] >> u & 1) != 0) {
                g.arrows.push_back({u, v});
            }
        }
    }
    return g;
}

// Every DAG on up to 5 vertices, grouped into classes by skeleton and vees:
// each DAG's essential graph is its class's, and the class size counts the
// class's DAGs; so the sizes sum to the number of DAGs.
TEST(ExactClassSize, EveryClassUpTo5VerticesByBruteForce) {
    for (int n = 1; n <= 5; ++n) {
        const auto dags = testing::all_dags(n);
        std::size_t total = 0;
        for (const testing::DagClass& c : testing::group_classes(dags)) {
            const MixedGraph first = from_small_dag(dags[static_cast<std::size_t>(c.members[0])]);
            const NamedGraph found = class_of(with_index_names(first)).essential;
            for (int a = 0; a < n; ++a) {
                for (int b = 0; b < n; ++b) {
                    const bool arrow = std::count(found.graph.arrows.begin(),
                                                  found.graph.arrows.end(), VertexPair{a, b}) > 0;
                    ASSERT_EQ(arrow, c.essential[a][b] == EDGE_ARROW);
                }
            }
            for (const int i : c.members) {
                const MixedGraph dag = from_small_dag(dags[static_cast<std::size_t>(i)]);
                ASSERT_EQ(
                    testing::arrow_set(class_of(with_index_names(dag)).essential.graph.arrows),
                    testing::arrow_set(found.graph.arrows));
            }
            const EquivalenceClass members(found.graph);
            ASSERT_EQ(members.size(), static_cast<unsigned long>(c.members.size()));
            total += c.members.size();
        }
        EXPECT_EQ(total, dags.size());
    }
}

// The double route (graph/class_size.hpp: closed forms, the memo, and
// clique-picking in long double) is exact below 2^53; beyond, a few ulps.
TEST(ExactClassSize, AgreesWithTheDoubleRoute) {
    std::mt19937_64 rng(8);
    for (int trial = 0; trial < 200; ++trial) {
        const int n = 8 + trial % 53;
        const MixedGraph g = testing::random_chordal(rng, n, static_cast<int>(rng() % (2 * n)));
        const int words = words_for(n);
        std::vector<Word> rows(static_cast<std::size_t>(n) * words, 0);
        for (const VertexPair& l : g.lines) {
            set_bit(rows.data() + static_cast<std::size_t>(l.from) * words, l.to);
            set_bit(rows.data() + static_cast<std::size_t>(l.to) * words, l.from);
        }
        const double by_doubles = ClassSizeCounter(n).count_orientations(rows.data());
        const EquivalenceClass members(g);
        if (by_doubles < 0x1p53) {
            EXPECT_EQ(members.size(), mpz_class(by_doubles)) << "n = " << n;
        } else {
            EXPECT_NEAR(members.size().get_d() / by_doubles, 1.0, 1e-12) << "n = " << n;
        }
        EXPECT_NEAR(members.log10_size(), std::log10(by_doubles), 1e-9);
    }
}

}  // namespace
}  // namespace pellimor
