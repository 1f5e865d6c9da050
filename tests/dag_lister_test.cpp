// Listing the DAGs of a class: exactly the members, each once, for every
// class on up to 5 vertices and for random chordal chain components.

#include "graph/dag_lister.hpp"

#include <gtest/gtest.h>

#include <random>

#include "dag_classes.hpp"
#include "graph/equivalence_class.hpp"
#include "user_graphs.hpp"

namespace pellimor {
namespace {

void expect_lists_the_members(const MixedGraph& essential) {
    const EquivalenceClass members(essential);
    const auto expected = testing::members_by_brute_force(essential);
    DagLister lister(members);
    std::set<testing::ArrowSet> listed;
    std::size_t count = 0;
    std::vector<VertexPair> arrows;
    while (lister.next()) {
        members.orient(lister.position(), arrows);
        listed.insert(testing::arrow_set(arrows));
        ++count;
        ASSERT_LE(count, expected.size()) << "more DAGs than the class has";
    }
    EXPECT_EQ(count, listed.size()) << "a DAG listed twice";
    EXPECT_EQ(listed, expected);
    EXPECT_FALSE(lister.next()) << "the list goes on after its end";
}

TEST(DagLister, ListsEveryClassUpTo5Vertices) {
    for (int n = 1; n <= 5; ++n) {
        for (const testing::DagClass& c : testing::group_classes(testing::all_dags(n))) {
            MixedGraph g;
            g.n = n;
            for (int a = 0; a < n; ++a) {
                for (int b = 0; b < n; ++b) {
                    if (c.essential[a][b] == EDGE_ARROW) {
                        g.arrows.push_back({a, b});
                    } else if (c.essential[a][b] == EDGE_LINE && a < b) {
                        g.lines.push_back({a, b});
                    }
                }
            }
            expect_lists_the_members(g);
        }
    }
}

// Larger chain components reach general parts with several cliques,
// forbidden prefixes and nested groups; two components combine.
TEST(DagLister, ListsTheAmosOfRandomChordalComponents) {
    std::mt19937_64 rng(4);
    for (int trial = 0; trial < 60; ++trial) {
        const int n = 5 + trial % 5;
        MixedGraph g = testing::random_chordal(rng, n, static_cast<int>(rng() % (2 * n)));
        if (g.lines.size() > 16) {
            continue;  // keep the brute force small
        }
        if (trial % 4 == 0) {  // a second component
            const MixedGraph more = testing::random_chordal(rng, 3, 1);
            for (const VertexPair& l : more.lines) {
                g.lines.push_back({l.from + n, l.to + n});
            }
            g.n += 3;
        }
        expect_lists_the_members(g);
    }
}

}  // namespace
}  // namespace pellimor
