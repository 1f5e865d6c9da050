#include "graph/bit_rows.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace pellimor {
namespace {

TEST(BitRows, WordsForCoversEveryVertexWithAtLeastOneWord) {
    EXPECT_EQ(words_for(0), 1);
    EXPECT_EQ(words_for(1), 1);
    EXPECT_EQ(words_for(63), 1);
    EXPECT_EQ(words_for(64), 1);
    EXPECT_EQ(words_for(65), 2);
    EXPECT_EQ(words_for(128), 2);
    EXPECT_EQ(words_for(129), 3);
    EXPECT_EQ(words_for(320), 5);
    EXPECT_EQ(words_for(321), 6);
}

// Vertices on both sides of each word boundary land in their own bit only.
TEST(BitRows, SetTestAndClearTouchOneBitAcrossWordBoundaries) {
    const int n = 130;
    for (int v : {0, 1, 62, 63, 64, 65, 127, 128, 129}) {
        std::vector<Word> row(words_for(n), 0);
        set_bit(row.data(), v);
        for (int u = 0; u < n; ++u) {
            EXPECT_EQ(test_bit(row.data(), u), u == v) << "set " << v << ", tested " << u;
        }
        EXPECT_TRUE(any_bit(row.data(), words_for(n)));
        clear_bit(row.data(), v);
        EXPECT_FALSE(any_bit(row.data(), words_for(n))) << "cleared " << v;
    }
}

TEST(BitRows, AllBitsVisitsInIncreasingOrderAcrossWords) {
    const std::vector<int> members = {0, 5, 63, 64, 100, 127, 128, 191};
    std::vector<Word> row(words_for(192), 0);
    for (int v : members) {
        set_bit(row.data(), v);
    }
    std::vector<int> visited;
    const bool finished = all_bits(
        words_for(192), [&](int w) { return row[w]; },
        [&](int v) {
            visited.push_back(v);
            return true;
        });
    EXPECT_TRUE(finished);
    EXPECT_EQ(visited, members);
}

TEST(BitRows, AllBitsStopsAtTheFirstRefusedVertex) {
    std::vector<Word> row(2, 0);
    for (int v : {3, 64, 70}) {
        set_bit(row.data(), v);
    }
    std::vector<int> visited;
    const bool finished = all_bits(
        2, [&](int w) { return row[w]; },
        [&](int v) {
            visited.push_back(v);
            return v != 64;
        });
    EXPECT_FALSE(finished);
    EXPECT_EQ(visited, (std::vector<int>{3, 64}));
}

// The set is computed word by word, and each word before its bits are
// visited, so a visit may clear bits of the rows the set comes from.
TEST(BitRows, AllBitsReadsEachWordOnceBeforeVisitingIt) {
    std::vector<Word> row(2, 0);
    for (int v : {1, 2, 65}) {
        set_bit(row.data(), v);
    }
    std::vector<int> visited;
    all_bits(
        2, [&](int w) { return row[w]; },
        [&](int v) {
            visited.push_back(v);
            clear_bit(row.data(), 2);   // same word: already read
            clear_bit(row.data(), 65);  // later word: not read yet
            return true;
        });
    EXPECT_EQ(visited, (std::vector<int>{1, 2}));
}

}  // namespace
}  // namespace pellimor
