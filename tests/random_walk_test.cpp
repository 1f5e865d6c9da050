#include "sampler/random_walk.hpp"

#include <gtest/gtest.h>

#include <cstdint>

#include "graph/incremental_admissibility.hpp"
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

}  // namespace
}  // namespace pellimor
