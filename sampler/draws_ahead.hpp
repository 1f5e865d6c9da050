#pragma once

// The walk's draws, taken from the generator in blocks ahead of use, so that
// a move can read the draws for its kind and for all three vertices at once,
// before it knows how many of them it uses; it then consumes only those. The
// caller keeps the number of draws used (`used`, below block + lookahead) in
// a local, so that it can stay in a register. The generator's state at the
// first unused draw is recovered at the end.

#include <cstddef>
#include <cstdint>

#include "sampler/random.hpp"
#include "util/check.hpp"

namespace pellimor {

class DrawsAhead {
  public:
    static constexpr std::size_t lookahead = 3;
    // Long blocks make the refill (and its mispredicted exits) rare; the
    // refill's main loop then draws a multiple of its unroll factor.
    static constexpr std::size_t block = 512 + lookahead;

    explicit DrawsAhead(const Xoshiro256StarStar& rng) : at_start_(rng), ahead_(rng) { fill(0); }

    // The next lookahead + 1 draws after the first `used`, refilling the
    // buffer when the block is used up; `used` then counts from the new
    // block's start. `used` may pass the block by at most lookahead + 1.
    const std::uint64_t* next(std::size_t& used) {
        DCHECK(used <= block + lookahead);
        if (used >= block) [[unlikely]] {
            // The look-ahead draws past the block become the new block's first.
            for (std::size_t i = 0; i < lookahead; ++i) {
                buffer_[i] = buffer_[block + i];
            }
            used -= block;
            at_start_ = at_next_start_;
            fill(lookahead);
        }
        return buffer_ + used;
    }

    // The generator as if it had made exactly the first `used` draws.
    Xoshiro256StarStar generator(std::size_t used) const {
        Xoshiro256StarStar rng = at_start_;
        for (std::size_t i = 0; i < used; ++i) {
            rng();
        }
        return rng;
    }

  private:
    void fill(std::size_t from) {
        // Unrolled: the loop's own count and branch are a fifth of a draw.
#pragma GCC unroll 8
        for (std::size_t i = from; i < block; ++i) {
            buffer_[i] = ahead_();
        }
        at_next_start_ = ahead_;
        for (std::size_t i = block; i < block + lookahead; ++i) {
            buffer_[i] = ahead_();
        }
    }

    // buffer_[i] is the draw the generator in state at_start_ makes i-th;
    // at_next_start_ is that generator before buffer_[block], and ahead_
    // after the last buffered draw.
    Xoshiro256StarStar at_start_;
    Xoshiro256StarStar at_next_start_ = at_start_;
    Xoshiro256StarStar ahead_;
    std::uint64_t buffer_[block + lookahead];
};

}  // namespace pellimor
