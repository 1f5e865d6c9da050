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

}  // namespace
}  // namespace pellimor
