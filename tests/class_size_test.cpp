#include "graph/class_size.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <set>
#include <vector>

#include "dag_classes.hpp"

namespace pellimor {
namespace {

// Every DAG on n <= 5 vertices: the class size must be the size of its
// brute-force class.
TEST(ClassSize, EqualsTheBruteForceClassSizeUpToFiveVertices) {
    for (int n = 1; n <= 5; ++n) {
        const auto dags = testing::all_dags(n);
        const auto classes = testing::group_classes(dags);
        OrderedDag ordered(n);
        EssentialGraph eg(n);
        ClassSizeCounter counter(n);
        std::vector<int> order;
        for (const auto& c : classes) {
            testing::to_ordered(dags[static_cast<std::size_t>(c.members.front())], ordered,
                                order, false);
            eg.build(ordered);
            ASSERT_EQ(counter.class_size(eg), static_cast<double>(c.members.size()))
                << "n = " << n;
        }
    }
}

// A random connected chordal graph on k vertices: each new vertex joins a
// clique of the graph so far (so the reverse insertion order is a perfect
// elimination order).
std::vector<std::vector<bool>> random_chordal(std::mt19937_64& rng, int k) {
    std::vector<std::vector<bool>> adj(static_cast<std::size_t>(k), std::vector<bool>(k, false));
    for (int v = 1; v < k; ++v) {
        const int u = static_cast<int>(rng() % static_cast<unsigned>(v));
        std::vector<int> clique{u};
        for (int w = 0; w < v; ++w) {
            const bool joins = w != u && rng() % 2 == 0 &&
                               std::all_of(clique.begin(), clique.end(),
                                           [&](int x) { return adj[x][w]; });
            if (joins) {
                clique.push_back(w);
            }
        }
        for (const int w : clique) {
            adj[v][w] = adj[w][v] = true;
        }
    }
    return adj;
}

// AMOs by brute force: the distinct orientations by vertex orders that
// create no v-structure.
double brute_force_orientations(const std::vector<std::vector<bool>>& adj) {
    const int k = static_cast<int>(adj.size());
    std::vector<int> order(static_cast<std::size_t>(k));
    std::iota(order.begin(), order.end(), 0);
    std::set<std::vector<int>> seen;
    do {
        std::vector<int> position(static_cast<std::size_t>(k));
        for (int i = 0; i < k; ++i) {
            position[static_cast<std::size_t>(order[i])] = i;
        }
        bool moral = true;
        for (int c = 0; c < k && moral; ++c) {
            for (int a = 0; a < k && moral; ++a) {
                for (int b = a + 1; b < k && moral; ++b) {
                    moral = !(adj[a][c] && adj[b][c] && !adj[a][b] && position[a] < position[c] &&
                              position[b] < position[c]);
                }
            }
        }
        if (moral) {
            seen.insert(position);  // positions fix the orientation only up to
        }
    } while (std::next_permutation(order.begin(), order.end()));
    // Collapse orders to orientations: keep one per set of edge directions.
    std::set<std::vector<bool>> orientations;
    for (const auto& position : seen) {
        std::vector<bool> directions;
        for (int a = 0; a < k; ++a) {
            for (int b = a + 1; b < k; ++b) {
                if (adj[a][b]) {
                    directions.push_back(position[a] < position[b]);
                }
            }
        }
        orientations.insert(directions);
    }
    return static_cast<double>(orientations.size());
}

std::vector<Word> rows_of(const std::vector<std::vector<bool>>& adj, int n) {
    const int words = words_for(n);
    std::vector<Word> rows(static_cast<std::size_t>(n) * words, 0);
    for (std::size_t a = 0; a < adj.size(); ++a) {
        for (std::size_t b = 0; b < adj.size(); ++b) {
            if (adj[a][b]) {
                set_bit(rows.data() + a * words, static_cast<int>(b));
            }
        }
    }
    return rows;
}

// Every counting route: the default (shortcuts, memo up to 16), the root
// decomposition alone (memo for nothing), and the two mixed.
class ComponentCounts : public ::testing::TestWithParam<ClassSizeOptions> {};

TEST_P(ComponentCounts, MatchBruteForceOnRandomChordalGraphs) {
    std::mt19937_64 rng(77);
    for (int trial = 0; trial < 60; ++trial) {
        const int k = 2 + trial % 7;  // 2 .. 8 vertices
        const auto adj = random_chordal(rng, k);
        ClassSizeCounter counter(k, GetParam());
        const auto rows = rows_of(adj, k);
        ASSERT_EQ(counter.count_orientations(rows.data()), brute_force_orientations(adj))
            << "trial " << trial << ", k = " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Routes, ComponentCounts,
                         ::testing::Values(ClassSizeOptions{16, true}, ClassSizeOptions{1, false},
                                           ClassSizeOptions{3, false}, ClassSizeOptions{5, true}));

// Beyond brute force: the root decomposition on components of 18 to 40
// vertices against the memoised count (up to 20) and against itself with
// another split between the two methods.
TEST(ComponentCounts, RootDecompositionAgreesOnLargeComponents) {
    std::mt19937_64 rng(1234);
    for (const int k : {18, 20, 40}) {
        const auto adj = random_chordal(rng, k);
        const auto rows = rows_of(adj, k);
        ClassSizeCounter rooted(k, ClassSizeOptions{6, true});
        const double by_roots = rooted.count_orientations(rows.data());
        ClassSizeCounter other(k, ClassSizeOptions{k <= 20 ? k : 12, true});
        EXPECT_EQ(by_roots, other.count_orientations(rows.data())) << "k = " << k;
        EXPECT_GT(by_roots, 1.0);
    }
}

}  // namespace
}  // namespace pellimor
