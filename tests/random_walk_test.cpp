#include "sampler/random_walk.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>

#include "graph/admissibility.hpp"
#include "graph/incremental_admissibility.hpp"
#include "graph/matrix_queries.hpp"
#include "mixed_graphs.hpp"
#include "sampler/random.hpp"
#include "sampler/sample_run.hpp"

namespace pellimor {
namespace {

// The walk as defined, one draw at a time through the judge's move methods:
// the kind, then x, y and z as the kind needs them.
void walk_move_by_move(EdgeMatrix& m, Xoshiro256StarStar& rng, int n_its, MoveCounts& counts) {
    IncrementalAdmissibility judge(m);
    const auto n = static_cast<std::uint64_t>(m.size());
    for (int i = 0; i < n_its; ++i) {
        const auto kind = static_cast<int>(rng() % move_kind_count);
        if (kind == MOVE_STAY) {
            ++counts.kept[MOVE_STAY];
            continue;
        }
        const auto x = static_cast<int>(rng() % n);
        const auto y = static_cast<int>(rng() % n);
        bool kept = false;
        switch (kind) {
            case MOVE_ADD_LINE:
                kept = judge.add_line(x, y);
                break;
            case MOVE_REMOVE_LINE:
                kept = judge.remove_line(x, y);
                break;
            case MOVE_ADD_ARROW:
                kept = judge.add_arrow(x, y);
                break;
            case MOVE_REMOVE_ARROW:
                kept = judge.remove_arrow(x, y);
                break;
            default: {
                const auto z = static_cast<int>(rng() % n);
                kept = kind == MOVE_ADD_VEE ? judge.add_vee(x, y, z) : judge.remove_vee(x, y, z);
                break;
            }
        }
        counts.kept[kind] += kept;
    }
}

// run_walk takes its draws ahead in blocks and screens every move before
// running it; it must still read the stream exactly as the plain walk does,
// end on the same graph with the same counts, and leave the generator at the
// first draw it did not use, whatever the walk's length (block boundaries
// included) and the row width (one to five words, and past five).
TEST(RunWalk, ReadsTheStreamAsTheMoveByMoveWalkDoes) {
    const int lengths[] = {0, 1, 2, 3, 41, 42, 43, 127, 128, 129, 130, 1000, 20011};
    for (int n : {1, 2, 3, 7, 10, 63, 64, 65, 128, 129, 200, 320, 321, 400}) {
        EdgeMatrix walked(n);
        EdgeMatrix reference(n);
        auto walked_rng = sample_stream(41, static_cast<std::uint64_t>(n));
        auto reference_rng = walked_rng;
        MoveCounts walked_counts;
        MoveCounts reference_counts;
        // Pieces of several lengths in a row: each piece starts where the
        // generator was left.
        for (int length : lengths) {
            ASSERT_TRUE(run_walk(walked, walked_rng, length, false, walked_counts));
            walk_move_by_move(reference, reference_rng, length, reference_counts);
            ASSERT_EQ(walked, reference) << "n=" << n << " after a piece of " << length;
            for (int k = 0; k < move_kind_count; ++k) {
                ASSERT_EQ(walked_counts.kept[k], reference_counts.kept[k])
                    << "n=" << n << " kind " << k << " after a piece of " << length;
            }
            auto walked_next = walked_rng;
            auto reference_next = reference_rng;
            ASSERT_EQ(walked_next(), reference_next()) << "n=" << n << " after " << length;
        }
        std::int64_t changes = 0;
        for (int k = MOVE_ADD_LINE; k < move_kind_count; ++k) {
            changes += walked_counts.kept[k];
        }
        if (n >= 2) {
            EXPECT_GT(changes, 0) << "n=" << n;
        }
    }
}

// Both judges on walks long enough to reach graphs with lines, arrows and
// vees, across word boundaries of the rows.
TEST(RunWalk, IncrementalAndFullCheckWalkTheSameWayOnWiderGraphs) {
    for (int n : {12, 40, 64, 65, 130}) {
        EdgeMatrix fast(n);
        auto fast_rng = sample_stream(43, static_cast<std::uint64_t>(n));
        MoveCounts fast_counts;
        ASSERT_TRUE(run_walk(fast, fast_rng, 20 * n * n, false, fast_counts));
        EdgeMatrix full = fast;
        auto full_rng = fast_rng;
        MoveCounts full_counts = fast_counts;
        const int moves = n <= 40 ? 4000 : 800;
        ASSERT_TRUE(run_walk(fast, fast_rng, moves, false, fast_counts));
        ASSERT_TRUE(run_walk(full, full_rng, moves, true, full_counts));
        ASSERT_EQ(fast, full) << "n=" << n;
        for (int k = 0; k < move_kind_count; ++k) {
            EXPECT_EQ(fast_counts.kept[k], full_counts.kept[k]) << "n=" << n << " kind " << k;
        }
        EXPECT_EQ(fast_rng(), full_rng()) << "n=" << n;
    }
}

TEST(RunWalk, KeepsTheGraphAdmissibleAndCountsOnlyKeptChanges) {
    for (std::uint64_t seed = 1; seed <= 20; ++seed) {
        EdgeMatrix m(6);
        auto rng = sample_stream(seed, 1);
        MoveCounts counts;
        ASSERT_TRUE(run_walk(m, rng, 400, seed % 2 == 0, counts));
        ASSERT_TRUE(is_admissible(m)) << "seed " << seed << ": " << testing::edge_list(m);
        // Every line on the final graph was added and not yet removed.
        int lines = 0;
        for (int a = 0; a < 6; ++a) {
            for (int b = a + 1; b < 6; ++b) {
                lines += m[a][b] == EDGE_LINE;
            }
        }
        EXPECT_EQ(lines, counts.kept[MOVE_ADD_LINE] - counts.kept[MOVE_REMOVE_LINE]);
    }
}

TEST(RunWalk, StopsWhenAsked) {
    const std::atomic<bool> stop{true};
    EdgeMatrix m(5);
    auto rng = sample_stream(1, 1);
    MoveCounts counts;
    EXPECT_FALSE(run_walk(m, rng, 1000000, false, counts, &stop));
    EXPECT_EQ(m, EdgeMatrix(5));
}

TEST(RunWalk, IncrementalAndFullCheckWalkTheSameWay) {
    for (int n : {3, 6, 9}) {
        for (std::uint64_t seed = 1; seed <= 4; ++seed) {
            EdgeMatrix fast(n);
            EdgeMatrix full(n);
            auto fast_rng = sample_stream(seed, 2);
            auto full_rng = sample_stream(seed, 2);
            MoveCounts fast_counts;
            MoveCounts full_counts;
            run_walk(fast, fast_rng, 3000, false, fast_counts);
            run_walk(full, full_rng, 3000, true, full_counts);
            ASSERT_EQ(fast, full) << "n=" << n << " seed " << seed;
            for (int k = 0; k < move_kind_count; ++k) {
                EXPECT_EQ(fast_counts.kept[k], full_counts.kept[k]);
            }
        }
    }
}

// Asking for the midpoint changes nothing in the walk, and the midpoint is
// the graph a walk of n_its / 2 moves from the same stream ends on; for both
// judges, walks too short to have a half, and rows of one and two words.
TEST(RunWalk, MidpointIsTheGraphAfterHalfTheMovesAndChangesNothing) {
    std::int64_t lines = 0;
    for (bool full_check : {false, true}) {
        for (int n : {2, 6, 70}) {
            for (int n_its : {0, 1, 2, 3, 1001, 4000}) {
                if (full_check && n == 70 && n_its > 1001) {
                    continue;  // the complete test is slow on wide graphs
                }
                const std::string where = "n=" + std::to_string(n) +
                                          " n_its=" + std::to_string(n_its) +
                                          (full_check ? " full check" : "");
                const auto stream = sample_stream(17, static_cast<std::uint64_t>(n + n_its));
                EdgeMatrix plain(n);
                auto plain_rng = stream;
                MoveCounts plain_counts;
                ASSERT_TRUE(run_walk(plain, plain_rng, n_its, full_check, plain_counts));

                EdgeMatrix asked(n);
                auto asked_rng = stream;
                MoveCounts asked_counts;
                WalkMidpoint midpoint;
                midpoint.no_lines = false;
                midpoint.lines = -1;
                ASSERT_TRUE(run_walk(asked, asked_rng, n_its, full_check, asked_counts, nullptr,
                                     &midpoint));
                EXPECT_EQ(asked, plain) << where;
                for (int k = 0; k < move_kind_count; ++k) {
                    EXPECT_EQ(asked_counts.kept[k], plain_counts.kept[k]) << where;
                }
                EXPECT_EQ(asked_rng(), plain_rng()) << where;

                EdgeMatrix half(n);
                auto half_rng = stream;
                MoveCounts half_counts;
                ASSERT_TRUE(run_walk(half, half_rng, n_its / 2, full_check, half_counts));
                EXPECT_EQ(midpoint.lines, count_lines(half)) << where;
                EXPECT_EQ(midpoint.no_lines, has_no_lines(half)) << where;
                lines += midpoint.lines;
            }
        }
    }
    EXPECT_GT(lines, 0);
}

}  // namespace
}  // namespace pellimor
