#include "graph/essential_graph.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

#include "dag_classes.hpp"
#include "graph/admissibility.hpp"
#include "graph/class_size.hpp"
#include "graph/full_essential_graph.hpp"
#include "mixed_graphs.hpp"
#include "sampler/exact_sampler.hpp"
#include "sampler/uniform_dag.hpp"

namespace pellimor {
namespace {

using testing::DagClass;
using testing::SmallDag;

// Every DAG on n vertices, numbered topologically two ways, must give the
// essential graph found by brute force (lines exactly where the members of
// its class disagree), and that graph must be admissible.
void check_against_brute_force(int n, std::size_t expected_classes) {
    const std::vector<SmallDag> dags = testing::all_dags(n);
    const std::vector<DagClass> classes = testing::group_classes(dags);
    ASSERT_EQ(classes.size(), expected_classes);
    OrderedDag ordered(n);
    EssentialGraph eg(n);
    EdgeMatrix m(n);
    std::vector<int> order;
    for (const DagClass& c : classes) {
        std::int64_t lines = 0;
        for (int a = 0; a < n; ++a) {
            for (int b = a + 1; b < n; ++b) {
                lines += c.essential[a][b] == EDGE_LINE;
            }
        }
        ASSERT_EQ(is_admissible(c.essential), 1) << testing::edge_list(c.essential);
        for (int i : c.members) {
            for (bool reverse_ties : {false, true}) {
                testing::to_ordered(dags[i], ordered, order, reverse_ties);
                eg.build(ordered);
                write_essential_graph(eg, order, m);
                ASSERT_EQ(m, c.essential) << "got " << testing::edge_list(m) << "\nwant "
                                          << testing::edge_list(c.essential);
                ASSERT_EQ(eg.line_count(), lines);
            }
        }
    }
}

TEST(EssentialGraph, MatchesBruteForceUpToFourVertices) {
    check_against_brute_force(1, 1);
    check_against_brute_force(2, 2);
    check_against_brute_force(3, 11);
    check_against_brute_force(4, 185);
}

TEST(EssentialGraph, MatchesBruteForceOnFiveVertices) {
    check_against_brute_force(5, 8782);
}

// Chickering's Find-Compelled as written, edge by edge, on his edge order:
// heads in increasing order, tails of one head in decreasing order. Labels:
// 0 unknown, 1 compelled, 2 reversible; label[v][u] for the edge u -> v.
std::vector<std::vector<int>> find_compelled(const OrderedDag& dag) {
    const int n = dag.size();
    std::vector<std::vector<int>> label(n, std::vector<int>(n, 0));
    auto parent = [&](int u, int v) { return test_bit(dag.parents(v), u); };
    for (;;) {
        int x = -1;
        int y = -1;
        for (int head = 0; head < n && y < 0; ++head) {
            for (int tail = head - 1; tail >= 0; --tail) {
                if (parent(tail, head) && label[head][tail] == 0) {
                    x = tail;
                    y = head;
                    break;
                }
            }
        }
        if (y < 0) {
            return label;
        }
        bool done = false;
        for (int w = 0; w < n && !done; ++w) {
            if (parent(w, x) && label[x][w] == 1) {
                if (!parent(w, y)) {
                    for (int u = 0; u < n; ++u) {
                        if (parent(u, y)) {
                            label[y][u] = 1;
                        }
                    }
                    done = true;
                } else {
                    label[y][w] = 1;
                }
            }
        }
        if (done) {
            continue;
        }
        bool outside = false;
        for (int z = 0; z < n; ++z) {
            outside = outside || (parent(z, y) && z != x && !parent(z, x));
        }
        for (int u = 0; u < n; ++u) {
            if (parent(u, y) && label[y][u] == 0) {
                label[y][u] = outside ? 1 : 2;
            }
        }
    }
}

void random_dag(std::mt19937_64& rng, double density, OrderedDag& dag) {
    std::bernoulli_distribution edge(density);
    const int n = dag.size();
    dag.resize(n);
    for (int v = 0; v < n; ++v) {
        for (int u = 0; u < v; ++u) {
            if (edge(rng)) {
                set_bit(dag.parents(v), u);
            }
        }
    }
}

// Several words per row: the bitset pass against the reference, with one
// EssentialGraph reused across graphs of different density.
TEST(EssentialGraph, MatchesFindCompelledAcrossWordBoundaries) {
    std::mt19937_64 rng(20240611);
    for (int n : {63, 64, 65, 130}) {
        OrderedDag dag(n);
        EssentialGraph eg(n);
        for (double density : {0.5, 0.02, 0.1, 0.3, 0.005}) {
            random_dag(rng, density, dag);
            eg.build(dag);
            const auto label = find_compelled(dag);
            std::int64_t lines = 0;
            for (int v = 0; v < n; ++v) {
                for (int u = 0; u < n; ++u) {
                    const int want = label[v][u];
                    const int got = test_bit(eg.compelled(v), u)    ? 1
                                    : test_bit(eg.reversible(v), u) ? 2
                                                                    : 0;
                    ASSERT_EQ(got, want)
                        << "n=" << n << " density=" << density << " edge " << u << "->" << v;
                    lines += want == 2;
                }
                ASSERT_EQ(test_bit(eg.line_heads(), v), any_bit(eg.reversible(v), eg.words()));
            }
            EXPECT_EQ(eg.line_count(), lines);
            EdgeMatrix m(n);
            write_essential_graph(eg, m);
            EXPECT_EQ(is_admissible(m), 1) << "n=" << n << " density=" << density;
        }
    }
}

TEST(EssentialGraph, WriterAppliesTheRelabelling) {
    // 0 -> 2 <- 1 is a v-structure; 2 -> 3 and 2 -> 4 are compelled by it;
    // 3 -> 4 closes a triangle with 2 and is reversible.
    OrderedDag dag(5);
    set_bit(dag.parents(2), 0);
    set_bit(dag.parents(2), 1);
    set_bit(dag.parents(3), 2);
    set_bit(dag.parents(4), 2);
    set_bit(dag.parents(4), 3);
    EssentialGraph eg(5);
    eg.build(dag);
    EXPECT_EQ(eg.line_count(), 1);
    const std::vector<int> perm = {3, 0, 4, 1, 2};
    EdgeMatrix m(5);
    m[0][0] = EDGE_LINE;  // every cell is overwritten
    write_essential_graph(eg, perm, m);
    EXPECT_EQ(m, testing::make_graph(5, {{3, 4, EDGE_ARROW},
                                         {0, 4, EDGE_ARROW},
                                         {4, 1, EDGE_ARROW},
                                         {4, 2, EDGE_ARROW},
                                         {1, 2, EDGE_LINE}}))
        << testing::edge_list(m);
}

TEST(EssentialGraph, EmptyAndSingleVertex) {
    for (int n : {0, 1, 2}) {
        OrderedDag dag(n);
        EssentialGraph eg(n);
        eg.build(dag);
        EXPECT_EQ(eg.line_count(), 0);
    }
}

// The lazy essential graph against the full one on the same DAG: compelled
// and reversible parents of every vertex, the line heads and count, the class
// size (the full graph's lines counted by the general route) and the
// connectivity from the lazy graph's sources (against the plain sweeps).
class LazyAgainstFull {
  public:
    explicit LazyAgainstFull(int n)
        : lazy_(n),
          full_(n),
          counter_(n),
          full_counter_(n),
          symmetric_(static_cast<std::size_t>(n) * words_for(n)),
          reached_(static_cast<std::size_t>(words_for(n))) {}

    void check(const OrderedDag& dag, const std::string& what) {
        lazy_.build(dag);
        full_.build(dag);
        const int n = dag.size();
        const int words = dag.words();
        std::fill(symmetric_.begin(), symmetric_.end(), Word{0});
        for (int v = 0; v < n; ++v) {
            for (int w = 0; w < words; ++w) {
                ASSERT_EQ(lazy_.compelled(v)[w], full_.compelled(v)[w]) << what << " vertex " << v;
                ASSERT_EQ(lazy_.reversible(v)[w], full_.reversible(v)[w])
                    << what << " vertex " << v;
            }
            ASSERT_EQ(lazy_.has_lines(v), test_bit(full_.line_heads(), v)) << what;
            ASSERT_EQ(lazy_.has_lines(v), lazy_.compelled_from(v) != v) << what;
            all_bits(
                words, [&](int w) { return full_.reversible(v)[w]; },
                [&](int u) {
                    set_bit(symmetric_.data() + static_cast<std::size_t>(u) * words, v);
                    set_bit(symmetric_.data() + static_cast<std::size_t>(v) * words, u);
                    return true;
                });
        }
        for (int w = 0; w < words; ++w) {
            ASSERT_EQ(lazy_.line_heads()[w], full_.line_heads()[w]) << what;
        }
        ASSERT_EQ(lazy_.line_count(), full_.line_count()) << what;
        ASSERT_EQ(counter_.class_size(lazy_), full_counter_.count_orientations(symmetric_.data()))
            << what;
        const bool connected = skeleton_connected(dag, reached_.data());
        ASSERT_EQ(skeleton_connected(dag, lazy_.sources(), lazy_.source_count(), reached_.data()),
                  connected)
            << what;
    }

  private:
    EssentialGraph lazy_;
    FullEssentialGraph full_;
    ClassSizeCounter counter_;
    ClassSizeCounter full_counter_;
    std::vector<Word> symmetric_;
    std::vector<Word> reached_;
};

TEST(EssentialGraph, LazyEqualsFullOnEveryDagUpToFiveVertices) {
    for (int n = 1; n <= 5; ++n) {
        OrderedDag ordered(n);
        LazyAgainstFull compare(n);
        std::vector<int> order;
        for (const SmallDag& dag : testing::all_dags(n)) {
            testing::to_ordered(dag, ordered, order, false);
            ASSERT_NO_FATAL_FAILURE(compare.check(ordered, "n = " + std::to_string(n)));
        }
    }
}

// Uniform DAGs (a few lines each), and denser and sparser ones with many
// vertices with lines, which outgrow the first room for their rows.
class LazyEssentialGraph : public ::testing::TestWithParam<int> {};

TEST_P(LazyEssentialGraph, EqualsFullOnRandomDags) {
    const int n = GetParam();
    const DagCounts tables(n);
    UniformDag uniform(tables);
    Xoshiro256StarStar rng(sample_stream(17, static_cast<std::uint64_t>(n)));
    std::mt19937_64 dense_rng(static_cast<std::uint64_t>(n));
    OrderedDag dag(n);
    LazyAgainstFull compare(n);
    const int uniform_draws = n >= 1000 ? 20 : 200;
    for (int i = 0; i < uniform_draws; ++i) {
        uniform.draw(rng, dag);
        ASSERT_NO_FATAL_FAILURE(compare.check(dag, "uniform draw " + std::to_string(i)));
    }
    for (double degree : {1.0, 2.0, 8.0}) {
        random_dag(dense_rng, std::min(1.0, degree / n), dag);
        ASSERT_NO_FATAL_FAILURE(compare.check(dag, "mean degree " + std::to_string(degree)));
    }
}

INSTANTIATE_TEST_SUITE_P(EssentialGraph, LazyEssentialGraph, ::testing::Values(70, 130, 1000));

}  // namespace
}  // namespace pellimor
