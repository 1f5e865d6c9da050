#include "sampler/fast_remainder.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

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

}  // namespace
}  // namespace pellimor
