#include "graph/incremental_admissibility.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "graph/admissibility.hpp"
#include "graph/matrix_queries.hpp"
#include "graph/move_screen.hpp"
#include "graph/moves.hpp"
#include "mixed_graphs.hpp"
#include "sampler/random.hpp"
#include "sampler/sample_run.hpp"

namespace pellimor {
namespace {

using testing::edge_list;
using testing::make_graph;

constexpr EdgeCode A = EDGE_ARROW;
constexpr EdgeCode L = EDGE_LINE;

enum Kind { ADD_LINE = 1, REMOVE_LINE, ADD_ARROW, REMOVE_ARROW, ADD_VEE, REMOVE_VEE };
constexpr int first_kind = ADD_LINE;
constexpr int last_kind = REMOVE_VEE;
const char* const kind_names[] = {"stay",         "add line", "remove line", "add arrow",
                                  "remove arrow", "add vee",  "remove vee"};

struct Move {
    int kind;
    int x;
    int y;
    int z;
};

std::string describe(const Move& move) {
    std::ostringstream text;
    text << kind_names[move.kind] << " x=" << move.x << " y=" << move.y;
    if (move.kind >= ADD_VEE) {
        text << " z=" << move.z;
    }
    return text.str();
}

// The expected cells of a move: its change when its precondition holds.
bool apply_by_cells(EdgeMatrix& m, const Move& move) {
    const int v[3] = {move.x, move.y, move.z};
    const auto kind = static_cast<MoveKind>(move.kind);
    if (!precondition_holds(m, kind, v)) {
        return false;
    }
    apply_change(m, kind, v);
    return true;
}

bool apply_incrementally(IncrementalAdmissibility& judge, const Move& move) {
    switch (move.kind) {
        case ADD_LINE:
            return judge.add_line(move.x, move.y);
        case REMOVE_LINE:
            return judge.remove_line(move.x, move.y);
        case ADD_ARROW:
            return judge.add_arrow(move.x, move.y);
        case REMOVE_ARROW:
            return judge.remove_arrow(move.x, move.y);
        case ADD_VEE:
            return judge.add_vee(move.x, move.y, move.z);
        case REMOVE_VEE:
            return judge.remove_vee(move.x, move.y, move.z);
        default:
            return false;
    }
}

// Which code runs the moves: the one for the row width at hand, or the one
// for any width (otherwise used only above 320 vertices).
enum class Words { FIXED, GENERAL };

// Which entry the moves go through: the move methods, or screen and then
// finish, as the walk calls them.
enum class Path { METHODS, SCREEN };

// The move through the walk's screen and then finish, for rows of FixedWords
// words (the screens themselves are tied to the preconditions elsewhere).
template <int FixedWords>
bool screen_and_finish(IncrementalAdmissibility& judge, const Move& move) {
    const unsigned passed = screen_moves<FixedWords>(judge.rows(), move.x, move.y, move.z);
    return ((passed >> move.kind) & 1u) != 0 &&
           judge.finish<FixedWords>(static_cast<MoveKind>(move.kind), move.x, move.y, move.z);
}

bool apply_move(IncrementalAdmissibility& judge, const Move& move, Path path, Words words) {
    if (path == Path::METHODS) {
        return apply_incrementally(judge, move);
    }
    switch (words == Words::GENERAL ? 0 : judge.words()) {
        case 1:
            return screen_and_finish<1>(judge, move);
        case 2:
            return screen_and_finish<2>(judge, move);
        case 3:
            return screen_and_finish<3>(judge, move);
        case 4:
            return screen_and_finish<4>(judge, move);
        case 5:
            return screen_and_finish<5>(judge, move);
        default:
            return screen_and_finish<0>(judge, move);
    }
}

std::string path_name(Path path) {
    return path == Path::SCREEN ? " (screen and finish)" : "";
}

IncrementalAdmissibility make_judge(EdgeMatrix& m, Words words) {
    IncrementalAdmissibility judge(m);
    if (words == Words::GENERAL) {
        judge.use_general_word_loops();
    }
    return judge;
}

std::string words_name(Words words) {
    return words == Words::GENERAL ? " (general rows)" : "";
}

// How the checked moves ended, per kind, so that a test can show it met the
// cases it is meant to compare.
struct Outcomes {
    std::array<long, 7> kept{};
    std::array<long, 7> rejected_by_test{};

    void add(const Outcomes& other) {
        for (int kind = 0; kind < 7; ++kind) {
            kept[kind] += other.kept[kind];
            rejected_by_test[kind] += other.rejected_by_test[kind];
        }
    }

    void expect_every_kind_kept(const std::string& where) const {
        for (int kind = first_kind; kind <= last_kind; ++kind) {
            EXPECT_GT(kept[kind], 0) << where << ": no " << kind_names[kind] << " kept";
        }
    }

    void expect_every_kind_kept_and_rejected(const std::string& where) const {
        expect_every_kind_kept(where);
        for (int kind = first_kind; kind <= last_kind; ++kind) {
            EXPECT_GT(rejected_by_test[kind], 0)
                << where << ": no " << kind_names[kind] << " rejected by admissibility";
        }
    }
};

// ---------------------------------------------------------------------------
// Every admissible graph on n vertices, every move the walk can propose.

// Index of a mixed graph on n vertices: one base-4 digit per pair a < b
// (0 none, 1 a -> b, 2 b -> a, 3 line).
std::size_t graph_index(const EdgeMatrix& m) {
    std::size_t index = 0;
    for (int a = m.size() - 1; a >= 0; --a) {
        for (int b = m.size() - 1; b > a; --b) {
            const int digit = m[a][b] == EDGE_LINE    ? 3
                              : m[a][b] == EDGE_ARROW ? 1
                              : m[b][a] == EDGE_ARROW ? 2
                                                      : 0;
            index = index * 4 + digit;
        }
    }
    return index;
}

void check_every_move_on_every_admissible_graph(int n, std::size_t expected_admissible,
                                                Path path = Path::METHODS) {
    // is_admissible of every mixed graph, computed once, so that each move's
    // changed graph is judged by a look-up.
    const int pairs = n * (n - 1) / 2;
    std::vector<bool> admissible(std::size_t{1} << (2 * pairs), false);
    std::vector<EdgeMatrix> graphs;
    testing::for_each_mixed_graph(n, [&](const EdgeMatrix& m) {
        if (is_admissible(m)) {
            admissible[graph_index(m)] = true;
            graphs.push_back(m);
        }
    });
    ASSERT_EQ(graphs.size(), expected_admissible);

    std::vector<Move> moves;
    for (int kind = first_kind; kind <= last_kind; ++kind) {
        // Screening reads z for every kind: its answer for the moves on two
        // vertices must not depend on it.
        const int z_count = kind >= ADD_VEE || path == Path::SCREEN ? n : 1;
        for (int x = 0; x < n; ++x) {
            for (int y = 0; y < n; ++y) {
                for (int z = 0; z < z_count; ++z) {
                    moves.push_back({kind, x, y, z});
                }
            }
        }
    }

    for (Words words : {Words::FIXED, Words::GENERAL}) {
        Outcomes outcomes;
        int failures = 0;
        EdgeMatrix current(n);
        EdgeMatrix changed(n);
        for (const EdgeMatrix& graph : graphs) {
            current = graph;
            IncrementalAdmissibility judge = make_judge(current, words);
            ASSERT_TRUE(judge.consistent_with_matrix()) << "n=" << n << " " << edge_list(graph);
            for (const Move& move : moves) {
                changed = graph;
                const bool precondition = apply_by_cells(changed, move);
                const bool expected = precondition && admissible[graph_index(changed)];
                const bool got = apply_move(judge, move, path, words);
                const bool same_cells = current == (got ? changed : graph);
                // A move whose precondition fails on both sides only read
                // rows; the check after the graph's last move covers it.
                const bool consistent = (!precondition && !got) || judge.consistent_with_matrix();
                if (got != expected || !same_cells || !consistent) {
                    ADD_FAILURE() << "n=" << n << words_name(words) << path_name(path) << " graph "
                                  << edge_list(graph) << " move " << describe(move) << ": expected "
                                  << expected << ", got " << got
                                  << (same_cells ? "" : ", cells wrong")
                                  << (consistent ? "" : ", rows or order out of step");
                    if (++failures == 10) {
                        return;
                    }
                }
                outcomes.kept[move.kind] += got;
                outcomes.rejected_by_test[move.kind] += precondition && !expected;
                if (got || !same_cells || !consistent) {
                    current = graph;
                    judge = make_judge(current, words);
                }
            }
            EXPECT_TRUE(judge.consistent_with_matrix())
                << "n=" << n << words_name(words) << " after the moves on " << edge_list(graph);
        }
        outcomes.expect_every_kind_kept_and_rejected("n=" + std::to_string(n) + words_name(words) +
                                                     path_name(path));
    }
}

TEST(IncrementalAdmissibility, AgreesWithFullTestOnEveryMoveOfEveryGraphOnFourVertices) {
    check_every_move_on_every_admissible_graph(4, 185);
}

TEST(IncrementalAdmissibility, AgreesWithFullTestOnEveryMoveOfEveryGraphOnFiveVertices) {
    check_every_move_on_every_admissible_graph(5, 8782);
}

TEST(IncrementalAdmissibility, ScreenAndFinishAgreeWithFullTestOnEveryMoveOnFourVertices) {
    check_every_move_on_every_admissible_graph(4, 185, Path::SCREEN);
}

TEST(IncrementalAdmissibility, ScreenAndFinishAgreeWithFullTestOnEveryMoveOnFiveVertices) {
    check_every_move_on_every_admissible_graph(5, 8782, Path::SCREEN);
}

// ---------------------------------------------------------------------------
// Random walks: every proposed move judged by both tests.

struct WalkPlan {
    int n;
    std::uint64_t seed;
    int windows;          // stretches of moves judged by both tests
    int checked_moves;    // moves per stretch, stay moves included
    int unchecked_moves;  // fast-only moves before each stretch
    Words words = Words::FIXED;
    Path path = Path::METHODS;
};

Move draw_move(Xoshiro256StarStar& rng, int n) {
    const auto n_draw = static_cast<std::uint64_t>(n);
    Move move{static_cast<int>(rng() % 7), 0, 0, 0};
    if (move.kind == 0) {
        return move;
    }
    move.x = static_cast<int>(rng() % n_draw);
    move.y = static_cast<int>(rng() % n_draw);
    if (move.kind >= ADD_VEE) {
        move.z = static_cast<int>(rng() % n_draw);
    }
    return move;
}

// Walks with the incremental test alone between stretches, and inside each
// stretch judges every move by both tests. Returns what the checked moves did.
Outcomes walk_against_full_test(const WalkPlan& plan) {
    const int n = plan.n;
    Xoshiro256StarStar rng(plan.seed);
    EdgeMatrix current(n);
    EdgeMatrix before_cells(n);
    EdgeMatrix expected_cells(n);
    IncrementalAdmissibility judge = make_judge(current, plan.words);
    Outcomes outcomes;
    long step = 0;
    for (int window = 0; window < plan.windows; ++window) {
        for (int k = 0; k < plan.unchecked_moves; ++k, ++step) {
            apply_move(judge, draw_move(rng, n), plan.path, plan.words);
        }
        const std::string where = "n=" + std::to_string(n) + words_name(plan.words) +
                                  path_name(plan.path) + " seed=" + std::to_string(plan.seed);
        // The unchecked stretch must have kept the graph admissible.
        EXPECT_TRUE(judge.consistent_with_matrix()) << where << " step=" << step;
        EXPECT_TRUE(is_admissible(current)) << where << " step=" << step;
        EXPECT_EQ(judge.line_count(), count_lines(current)) << where << " step=" << step;
        // Every other stretch starts from rows and an order built afresh
        // from the cells, as for a graph loaded from elsewhere: by a new
        // judge, or by the old one reset in its own memory to the graph
        // with its vertices numbered backwards (as a walk worker's next walk
        // starts from another graph).
        if (window % 4 == 1) {
            judge = make_judge(current, plan.words);
        } else if (window % 4 == 3) {
            before_cells = current;
            for (int r = 0; r < n; ++r) {
                for (int c = 0; c < n; ++c) {
                    current[n - 1 - r][n - 1 - c] = before_cells[r][c];
                }
            }
            judge.reset(current);
            if (plan.words == Words::GENERAL) {
                judge.use_general_word_loops();
            }
        }
        for (int k = 0; k < plan.checked_moves; ++k, ++step) {
            const Move move = draw_move(rng, n);
            if (move.kind == 0) {
                continue;
            }
            before_cells = current;
            expected_cells = current;
            const bool precondition = apply_by_cells(expected_cells, move);
            const bool expected = precondition && is_admissible(expected_cells);
            const bool got = apply_move(judge, move, plan.path, plan.words);
            const bool same_cells = current == (got ? expected_cells : before_cells);
            const bool consistent = judge.consistent_with_matrix();
            if (got != expected || !same_cells || !consistent) {
                ADD_FAILURE() << where << " step=" << step << " move " << describe(move)
                              << ": expected " << expected << ", got " << got
                              << (same_cells ? "" : ", cells wrong")
                              << (consistent ? "" : ", rows or order out of step")
                              << "\n  graph before the move: " << edge_list(before_cells);
                return outcomes;
            }
            outcomes.kept[move.kind] += got;
            outcomes.rejected_by_test[move.kind] += precondition && !expected;
        }
    }
    return outcomes;
}

TEST(IncrementalAdmissibility, AgreesWithFullTestAlongRandomWalksOnSmallGraphs) {
    for (Words words : {Words::FIXED, Words::GENERAL}) {
        Outcomes outcomes;
        for (int n = 3; n <= 12; ++n) {
            const std::uint64_t seed = 1000 + static_cast<std::uint64_t>(n);
            outcomes.add(walk_against_full_test({n, seed, 8, 5000, 5000, words}));
        }
        outcomes.expect_every_kind_kept_and_rejected("n=3..12" + words_name(words));
    }
}

TEST(IncrementalAdmissibility, AgreesWithFullTestAlongRandomWalksOnTwentyVertices) {
    Outcomes outcomes;
    for (std::uint64_t seed : {7, 8, 9}) {
        outcomes.add(walk_against_full_test({20, seed, 5, 4000, 20000}));
    }
    outcomes.expect_every_kind_kept_and_rejected("n=20");
}

// Rows of two and three words, and the one-word boundary on either side. In
// these sparse graphs removals are hardly ever rejected; the smaller walks
// and the exhaustive tests cover that.
TEST(IncrementalAdmissibility, AgreesWithFullTestAlongRandomWalksAcrossWordBoundaries) {
    const WalkPlan plans[] = {
        {63, 11, 2, 1200, 40000},  {64, 12, 2, 1200, 40000},
        {65, 13, 2, 1200, 40000},  {70, 14, 3, 1200, 60000},
        {130, 15, 3, 600, 150000}, {130, 16, 2, 600, 150000, Words::GENERAL},
    };
    for (const WalkPlan& plan : plans) {
        walk_against_full_test(plan).expect_every_kind_kept("n=" + std::to_string(plan.n) +
                                                            words_name(plan.words));
    }
}

// The walk's screen-and-finish path on the same kinds of walks: small graphs
// with both row codes, and rows of one to five words and past five (which
// take the code for any width).
TEST(IncrementalAdmissibility, ScreenAndFinishAgreeWithFullTestAlongRandomWalks) {
    for (Words words : {Words::FIXED, Words::GENERAL}) {
        Outcomes outcomes;
        for (int n = 3; n <= 12; ++n) {
            const std::uint64_t seed = 2000 + static_cast<std::uint64_t>(n);
            outcomes.add(walk_against_full_test({n, seed, 6, 4000, 4000, words, Path::SCREEN}));
        }
        outcomes.expect_every_kind_kept_and_rejected("n=3..12" + words_name(words) +
                                                     path_name(Path::SCREEN));
    }
    const WalkPlan plans[] = {
        {20, 21, 4, 3000, 20000, Words::FIXED, Path::SCREEN},
        {64, 22, 2, 1200, 40000, Words::FIXED, Path::SCREEN},
        {65, 23, 2, 1200, 40000, Words::FIXED, Path::SCREEN},
        {130, 24, 2, 500, 150000, Words::FIXED, Path::SCREEN},
        {200, 25, 1, 1000, 200000, Words::FIXED, Path::SCREEN},
        {257, 33, 1, 1000, 200000, Words::FIXED, Path::SCREEN},
        {330, 27, 1, 1000, 250000, Words::FIXED, Path::SCREEN},
    };
    for (const WalkPlan& plan : plans) {
        walk_against_full_test(plan).expect_every_kind_kept("n=" + std::to_string(plan.n) +
                                                            path_name(plan.path));
    }
}

// ---------------------------------------------------------------------------
// Single cases.

TEST(IncrementalAdmissibility, RejectsMovesWhosePreconditionFailsWithoutChange) {
    EdgeMatrix m = make_graph(4, {{0, 2, A}, {1, 2, A}, {2, 3, A}});
    const EdgeMatrix before = m;
    IncrementalAdmissibility judge(m);
    EXPECT_FALSE(judge.add_line(1, 1));
    EXPECT_FALSE(judge.add_line(0, 2));       // already joined by an arrow
    EXPECT_FALSE(judge.remove_line(0, 2));    // an arrow, not a line
    EXPECT_FALSE(judge.add_arrow(2, 0));      // reverse of an existing arrow
    EXPECT_FALSE(judge.remove_arrow(2, 0));   // wrong direction
    EXPECT_FALSE(judge.add_vee(0, 0, 3));     // tails coincide
    EXPECT_FALSE(judge.add_vee(0, 3, 2));     // tail 0 already joined to the head
    EXPECT_FALSE(judge.remove_vee(0, 1, 3));  // 0 -> 3 missing
    EXPECT_FALSE(judge.remove_vee(0, 0, 2));  // tails coincide
    EXPECT_EQ(m, before);
    EXPECT_TRUE(judge.consistent_with_matrix());
}

TEST(IncrementalAdmissibility, EveryMoveFailsOnOneVertex) {
    EdgeMatrix m(1);
    IncrementalAdmissibility judge(m);
    EXPECT_FALSE(judge.add_line(0, 0));
    EXPECT_FALSE(judge.remove_line(0, 0));
    EXPECT_FALSE(judge.add_arrow(0, 0));
    EXPECT_FALSE(judge.remove_arrow(0, 0));
    EXPECT_FALSE(judge.add_vee(0, 0, 0));
    EXPECT_FALSE(judge.remove_vee(0, 0, 0));
    EXPECT_EQ(m, EdgeMatrix(1));
}

// Arrows that run against vertex numbers force the order to be repaired on
// almost every kept arrow; a wrong repair shows as a missed or invented cycle.
TEST(IncrementalAdmissibility, FindsCyclesThroughRepairedOrder) {
    // 6 -> 5 <- 7, then the chain 5 -> 4 -> 3 -> 2, each arrow protected by
    // A through the one before.
    EdgeMatrix m(8);
    IncrementalAdmissibility judge(m);
    ASSERT_TRUE(judge.add_vee(6, 7, 5));  // 6 -> 5 <- 7
    ASSERT_TRUE(judge.add_arrow(5, 4));   // protected by A (6 and 7 not adjacent to 4)
    ASSERT_TRUE(judge.add_arrow(4, 3));
    ASSERT_TRUE(judge.add_arrow(3, 2));
    ASSERT_TRUE(judge.consistent_with_matrix());
    // 2 -> 6 would close 6 -> 5 -> 4 -> 3 -> 2 -> 6; 2 -> 1 <- 0 closes nothing.
    EXPECT_FALSE(judge.add_arrow(2, 6));
    EXPECT_FALSE(judge.add_vee(2, 0, 7));
    EXPECT_TRUE(judge.add_vee(2, 0, 1));
    EXPECT_TRUE(judge.consistent_with_matrix());
    EXPECT_TRUE(is_admissible(m));
}

TEST(IncrementalAdmissibility, AddLineKeepsLinesChordal) {
    // Path 0 - 1 - 2 - 3: closing it with 0 - 3 makes a chordless square,
    // 0 - 2 a triangle.
    EdgeMatrix m = make_graph(4, {{0, 1, L}, {1, 2, L}, {2, 3, L}});
    IncrementalAdmissibility judge(m);
    EXPECT_FALSE(judge.add_line(0, 3));
    EXPECT_TRUE(judge.add_line(0, 2));
    EXPECT_TRUE(judge.add_line(0, 3));  // now 0 - 2 is a chord of the square
    EXPECT_EQ(m, make_graph(4, {{0, 1, L}, {1, 2, L}, {2, 3, L}, {0, 2, L}, {0, 3, L}}));
}

TEST(IncrementalAdmissibility, RemoveLineKeepsLinesChordal) {
    // Square 0 - 1 - 2 - 3 - 0 with the chord 0 - 2: removing the chord
    // leaves a chordless square, removing a side leaves a triangle and a tail.
    EdgeMatrix m = make_graph(4, {{0, 1, L}, {1, 2, L}, {2, 3, L}, {3, 0, L}, {0, 2, L}});
    IncrementalAdmissibility judge(m);
    EXPECT_FALSE(judge.remove_line(0, 2));
    EXPECT_TRUE(judge.remove_line(0, 1));
    EXPECT_TRUE(judge.remove_line(2, 0));
}

}  // namespace
}  // namespace pellimor
