#include "graph/class_size.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <random>
#include <set>
#include <stdexcept>
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
// elimination order), taking each candidate with probability percent/100.
std::vector<std::vector<bool>> random_chordal(std::mt19937_64& rng, int k, int percent = 50) {
    std::vector<std::vector<bool>> adj(static_cast<std::size_t>(k), std::vector<bool>(k, false));
    for (int v = 1; v < k; ++v) {
        const int u = static_cast<int>(rng() % static_cast<unsigned>(v));
        std::vector<int> clique{u};
        for (int w = 0; w < v; ++w) {
            const bool joins =
                w != u && static_cast<int>(rng() % 100) < percent &&
                std::all_of(clique.begin(), clique.end(), [&](int x) { return adj[x][w]; });
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

// Every counting route: the default (shortcuts, memo up to 16), clique-picking
// alone, the root decomposition alone (memo for nothing), and mixed ones.
class ComponentCounts : public ::testing::TestWithParam<ClassSizeOptions> {};

TEST_P(ComponentCounts, MatchBruteForceOnRandomChordalGraphs) {
    std::mt19937_64 rng(77);
    for (int trial = 0; trial < 60; ++trial) {
        const int k = 2 + trial % 7;  // 2 .. 8 vertices
        const auto adj = random_chordal(rng, k, trial % 3 == 0 ? 20 : 50);
        ClassSizeCounter counter(k, GetParam());
        const auto rows = rows_of(adj, k);
        ASSERT_EQ(counter.count_orientations(rows.data()), brute_force_orientations(adj))
            << "trial " << trial << ", k = " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Routes, ComponentCounts,
                         ::testing::Values(ClassSizeOptions{16, true, true},
                                           ClassSizeOptions{1, false, true},
                                           ClassSizeOptions{1, false, false},
                                           ClassSizeOptions{3, false, false},
                                           ClassSizeOptions{5, true, true}));

double count_with(const std::vector<std::vector<bool>>& adj, ClassSizeOptions options) {
    const int k = static_cast<int>(adj.size());
    ClassSizeCounter counter(k, options);
    const auto rows = rows_of(adj, k);
    return counter.count_orientations(rows.data());
}

// Clique-picking alone against the memoised sink-set count, both exact below
// 2^64, on sparse to dense components of 9 .. 20 vertices, and on two whose
// counts pass 2^53, where both must round to the same double.
TEST(ComponentCounts, CliquePickingEqualsTheMemoisedCount) {
    std::mt19937_64 rng(4321);
    const ClassSizeOptions picking{1, false, true};
    const ClassSizeOptions memo{20, false, true};
    bool past_2_53 = false;
    for (int trial = 0; trial < 48; ++trial) {
        const int k = 9 + trial % 12;
        const int percent = std::array{15, 40, 70, 90}[static_cast<std::size_t>(trial % 4)];
        const auto adj = random_chordal(rng, k, percent);
        const double exact = count_with(adj, memo);
        past_2_53 = past_2_53 || exact > 9007199254740992.0;
        ASSERT_EQ(count_with(adj, picking), exact) << "trial " << trial << ", k = " << k;
    }
    // Cliques of 20 and 19 vertices less one edge: counts past 2^53.
    for (const int k : {19, 20}) {
        std::vector<std::vector<bool>> adj(k, std::vector<bool>(k, true));
        for (int v = 0; v < k; ++v) {
            adj[v][v] = false;
        }
        adj[0][1] = adj[1][0] = false;
        const double exact = count_with(adj, memo);
        past_2_53 = past_2_53 || exact > 9007199254740992.0;
        ASSERT_EQ(count_with(adj, picking), exact) << "k = " << k;
    }
    EXPECT_TRUE(past_2_53);
}

// Beyond the memo: clique-picking against the root decomposition on
// components of 20 to 40 vertices (equal where exact, else within rounding).
TEST(ComponentCounts, CliquePickingAgreesWithTheRootDecomposition) {
    std::mt19937_64 rng(1234);
    for (const int k : {20, 24, 28, 32, 36, 40}) {
        for (const int percent : {10, 35, 60}) {
            const auto adj = random_chordal(rng, k, percent);
            const double by_roots = count_with(adj, ClassSizeOptions{8, true, false});
            const double by_cliques = count_with(adj, ClassSizeOptions{1, false, true});
            const double mixed = count_with(adj, ClassSizeOptions{12, true, true});
            EXPECT_GT(by_roots, 1.0);
            EXPECT_NEAR(by_cliques / by_roots, 1.0, 1e-12) << "k = " << k;
            EXPECT_EQ(mixed, by_cliques) << "k = " << k;
            if (by_roots < 9007199254740992.0) {
                EXPECT_EQ(by_cliques, by_roots) << "k = " << k;
            }
        }
    }
}

// Closed forms computed the long way: a tree on k vertices has k AMOs (one per
// root), a clique k! (one per order); a graph in pieces is refused.
TEST(ComponentCounts, CliquePickingFindsTreeAndCliqueClosedFormsAndRefusesPieces) {
    std::mt19937_64 rng(99);
    for (const int k : {3, 40, 300}) {
        const auto tree = random_chordal(rng, k, 0);
        EXPECT_EQ(count_with(tree, ClassSizeOptions{1, false, true}), k);
    }
    for (const int k : {5, 18, 30}) {
        const std::vector<std::vector<bool>> clique(k, std::vector<bool>(k, true));
        auto adj = clique;
        for (int v = 0; v < k; ++v) {
            adj[v][v] = false;
        }
        EXPECT_NEAR(count_with(adj, ClassSizeOptions{1, false, true}) / std::tgamma(k + 1.0), 1.0,
                    1e-14);
    }
    // Two paths of three vertices are no connected graph.
    CliquePicking picking(CliquePickingOptions{0, false});
    EXPECT_THROW(picking.count(AdjacencyLists{{1}, {0, 2}, {1}, {4}, {3, 5}, {4}}),
                 std::invalid_argument);
}

}  // namespace
}  // namespace pellimor
