#include "sampler/draws_ahead.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace pellimor {
namespace {

// Using 1 to 4 draws at a time over several blocks, the draws offered are
// the generator's own in order, the look-ahead included, and generator(used)
// is the generator after exactly the draws used.
TEST(DrawsAhead, OffersTheStreamInOrderAcrossBlocks) {
    const Xoshiro256StarStar start(99);
    Xoshiro256StarStar plain = start;
    std::vector<std::uint64_t> stream;
    for (std::size_t i = 0; i < 4 * DrawsAhead::block; ++i) {
        stream.push_back(plain());
    }
    DrawsAhead draws(start);
    std::size_t used = 0;
    std::size_t consumed = 0;  // draws used since the start
    for (std::size_t step = 0; consumed + 8 < stream.size(); ++step) {
        const std::uint64_t* next = draws.next(used);
        for (std::size_t k = 0; k <= DrawsAhead::lookahead; ++k) {
            ASSERT_EQ(next[k], stream[consumed + k]) << "step " << step << " draw " << k;
        }
        const std::size_t take = 1 + step * 7 % 4;
        used += take;
        consumed += take;
        Xoshiro256StarStar expected = start;
        for (std::size_t i = 0; i < consumed; ++i) {
            expected();
        }
        Xoshiro256StarStar got = draws.generator(used);
        ASSERT_EQ(got(), expected()) << "after " << consumed << " draws";
    }
}

}  // namespace
}  // namespace pellimor
