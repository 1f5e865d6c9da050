#include "sampler/fast_remainder.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

#include "sampler/random.hpp"

namespace pellimor {
namespace {

TEST(FastRemainder, EqualsTheRemainderForEveryKindOfDivisorAndDraw) {
    const std::uint64_t divisors[] = {1,         2,       3,          5,       6,
                                      7,         10,      63,         64,      65,
                                      320,       1000003, 1ULL << 31, INT_MAX, (1ULL << 32) - 1,
                                      1ULL << 32};
    const std::uint64_t edges[] = {
        0, 1, 2, 63, 64, 65, (1ULL << 32) - 1, 1ULL << 32, UINT64_MAX - 1, UINT64_MAX};
    auto draws = sample_stream(5, 5);
    for (const std::uint64_t d : divisors) {
        const FastRemainder remainder(d);
        for (const std::uint64_t edge : edges) {
            // Around multiples of d as well as the fixed edges.
            for (const std::uint64_t draw : {edge, edge / d * d, edge / d * d - 1}) {
                ASSERT_EQ(remainder(draw), draw % d) << draw << " % " << d;
            }
        }
        for (int i = 0; i < 20000; ++i) {
            const std::uint64_t draw = draws();
            ASSERT_EQ(remainder(draw), draw % d) << draw << " % " << d;
        }
    }
}

// Every divisor a vertex count can take in practice, and the divisors next to
// each power of two (where the reciprocal's rounding is tightest), against
// draws next to multiples of the divisor and near the top of the range.
TEST(FastRemainder, EqualsTheRemainderForSmallDivisorsAndAroundEveryPowerOfTwo) {
    std::vector<std::uint64_t> divisors;
    for (std::uint64_t d = 1; d <= 2048; ++d) {
        divisors.push_back(d);
    }
    for (int e = 11; e < 64; ++e) {
        const std::uint64_t p = std::uint64_t{1} << e;
        divisors.insert(divisors.end(), {p - 1, p, p + 1, p + p / 2 + 1});
    }
    divisors.insert(divisors.end(),
                    {UINT64_MAX - 1, UINT64_MAX, UINT64_MAX / 3, 0x9e3779b97f4a7c15});
    auto draws = sample_stream(6, 6);
    for (const std::uint64_t d : divisors) {
        const FastRemainder remainder(d);
        std::vector<std::uint64_t> checked = {0, 1, d - 1, d, UINT64_MAX, UINT64_MAX - 1};
        const std::uint64_t top = UINT64_MAX / d * d;  // the largest multiple of d
        checked.insert(checked.end(), {top, top - 1, top - d, top - d + 1});
        if (d < (std::uint64_t{1} << 32)) {
            checked.insert(checked.end(), {d * d, d * d - 1, (d << 32) - 1, d << 32});
        }
        for (int i = 0; i < 200; ++i) {
            checked.push_back(draws());
        }
        for (const std::uint64_t draw : checked) {
            ASSERT_EQ(remainder(draw), draw % d) << draw << " % " << d;
            ASSERT_EQ(remainder.quotient(draw), draw / d) << draw << " / " << d;
        }
    }
}

// SmallRemainder against % for every divisor up to 2048, the top of its range
// and the divisors around each power of two it takes, with draws at the edges
// of its fold (halves of all ones or zero, multiples of 2^32) and of d.
TEST(SmallRemainder, EqualsTheRemainderForEveryDivisorItTakes) {
    std::vector<std::uint64_t> divisors;
    for (std::uint64_t d = 2; d <= 2048; ++d) {
        divisors.push_back(d);
    }
    for (std::uint64_t d = SmallRemainder::max_divisor - 600; d <= SmallRemainder::max_divisor;
         ++d) {
        divisors.push_back(d);
    }
    for (int e = 11; e <= 16; ++e) {
        const std::uint64_t p = std::uint64_t{1} << e;
        divisors.insert(divisors.end(), {p - 1, p, p + 1, p / 2 * 3, p / 2 * 3 + 1});
    }
    ASSERT_EQ(SmallRemainder::max_divisor, std::uint64_t{1} << 16);
    auto draws = sample_stream(7, 7);
    const std::uint64_t low_ones = 0xffffffffULL;
    for (const std::uint64_t d : divisors) {
        if (d > SmallRemainder::max_divisor) {
            continue;
        }
        const SmallRemainder remainder(d);
        std::vector<std::uint64_t> checked = {0,
                                              1,
                                              d - 1,
                                              d,
                                              d + 1,
                                              low_ones,
                                              low_ones + 1,
                                              low_ones << 32,
                                              (low_ones << 32) - 1,
                                              UINT64_MAX,
                                              UINT64_MAX - 1,
                                              UINT64_MAX - d,
                                              UINT64_MAX / d * d,
                                              UINT64_MAX / d * d - 1};
        for (std::uint64_t high : {std::uint64_t{1}, d - 1, d, low_ones - 1, low_ones}) {
            for (std::uint64_t low : {std::uint64_t{0}, d - 1, low_ones - d, low_ones}) {
                checked.push_back((high << 32) | low);
            }
        }
        for (int i = 0; i < 300; ++i) {
            checked.push_back(draws());
        }
        for (const std::uint64_t draw : checked) {
            ASSERT_EQ(remainder(draw), draw % d) << draw << " % " << d;
        }
    }
}

// Every draw of the top 2^20 and of the bottom 2^20 for a few divisors, the
// largest among them: where the fold's product is largest and smallest.
TEST(SmallRemainder, EqualsTheRemainderOverWholeRangesOfDraws) {
    for (const std::uint64_t d : {std::uint64_t{2}, std::uint64_t{7}, std::uint64_t{10},
                                  std::uint64_t{63}, std::uint64_t{64}, std::uint64_t{65521},
                                  std::uint64_t{65535}, SmallRemainder::max_divisor}) {
        const SmallRemainder remainder(d);
        for (std::uint64_t i = 0; i < (1u << 20); ++i) {
            ASSERT_EQ(remainder(i), i % d) << i << " % " << d;
            ASSERT_EQ(remainder(UINT64_MAX - i), (UINT64_MAX - i) % d) << "-" << i << " % " << d;
        }
    }
}

// remainder_by against % for the walk's divisor (the move kinds) and the
// ends of its range, with draws at the edges of its fold and of d.
template <std::uint64_t Divisor>
void check_remainder_by() {
    auto draws = sample_stream(8, Divisor);
    std::vector<std::uint64_t> checked = {0,
                                          1,
                                          Divisor - 1,
                                          Divisor,
                                          UINT32_MAX,
                                          1ULL << 32,
                                          UINT64_MAX,
                                          UINT64_MAX - 1,
                                          UINT64_MAX / Divisor * Divisor};
    for (const std::uint64_t high :
         {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{UINT32_MAX}, Divisor}) {
        for (std::uint64_t low = 0; low < 3 * Divisor && low < 5000; ++low) {
            checked.push_back(high << 32 | low);
            checked.push_back(high << 32 | (UINT32_MAX - low));
        }
    }
    for (int i = 0; i < 100000; ++i) {
        checked.push_back(draws());
    }
    for (const std::uint64_t draw : checked) {
        ASSERT_EQ(remainder_by<Divisor>(draw), draw % Divisor) << draw << " % " << Divisor;
    }
}

TEST(RemainderBy, EqualsTheRemainderForFixedDivisors) {
    check_remainder_by<7>();
    check_remainder_by<2>();
    check_remainder_by<3>();
    check_remainder_by<10>();
    check_remainder_by<641>();
    check_remainder_by<SmallRemainder::max_divisor - 1>();
    check_remainder_by<SmallRemainder::max_divisor>();
}

}  // namespace
}  // namespace pellimor
