#pragma once

// draw % d for a divisor fixed at run time, without a division instruction.
// The quotient comes from one multiply-high by a rounded-up reciprocal of d
// (Granlund and Montgomery, "Division by invariant integers using
// multiplication", 1994): with l = ceil(log2 d) and
// m = ceil(2^(64 + l) / d), floor(draw * m / 2^(64 + l)) is draw / d for every
// 64-bit draw, because m * d - 2^(64 + l) < d <= 2^l. m has 65 bits; its low
// 64 bits are kept as `magic`, and the implicit top bit adds draw once more.
// The remainder is then draw - quotient * d: two multiplications in all.

#include <bit>
#include <cstdint>

namespace pellimor {

class FastRemainder {
  public:
    // divisor must be at least 1.
    explicit FastRemainder(std::uint64_t divisor) : divisor_(divisor) {
        const int l = std::bit_width(divisor - 1);  // ceil(log2 divisor); 0 for 1
        if (std::has_single_bit(divisor)) {
            // m = 2^64 exactly: the quotient is draw >> l.
            magic_ = 0;
        } else {
            // ceil(2^(64 + l) / d) - 2^64 = ceil((2^l - d) 2^64 / d), and
            // for d not a power of two that fraction is never whole.
            const Wide excess = (Wide{1} << l) - divisor;  // < d
            magic_ = static_cast<std::uint64_t>((excess << 64) / divisor) + 1;
        }
        // (draw + high) / 2^l without the 65-bit sum: the halving takes the
        // difference draw - high instead, which never goes below zero. For
        // d = 1 there is nothing to halve (magic is 0, so high is too).
        first_shift_ = l == 0 ? 0 : 1;
        second_shift_ = l == 0 ? 0 : l - 1;
    }

    std::uint64_t quotient(std::uint64_t draw) const {
        const auto high = static_cast<std::uint64_t>((static_cast<Wide>(draw) * magic_) >> 64);
        return (((draw - high) >> first_shift_) + high) >> second_shift_;
    }

    std::uint64_t operator()(std::uint64_t draw) const { return draw - quotient(draw) * divisor_; }

  private:
    __extension__ typedef unsigned __int128 Wide;

    std::uint64_t divisor_;
    std::uint64_t magic_;
    int first_shift_;
    int second_shift_;
};

// draw % d for a divisor fixed at run time between 2 and 2^16, computed
// directly, without the quotient and without a variable shift (Lemire, Kaser
// and Kurz, "Faster remainder by direct computation", 2019). The draw is first
// folded to t = (high half) (2^32 mod d) + (low half), which is draw modulo d
// and below d 2^32. With c = ceil(2^64 / d) = (2^64 + e) / d, 0 <= e < d, and
// t = q d + r, the product c t mod 2^64 is r 2^64 / d + e t / d, because
// e t < d^2 2^32 <= 2^64 keeps it below (r + 1) 2^64 / d <= 2^64; times d
// and divided by 2^64 it has whole part r. Three multiplications and no
// shift by a variable count: FastRemainder's variable shifts tie up the
// shift-count register, which a loop also needs for its own shifts.
class SmallRemainder {
  public:
    static constexpr std::uint64_t max_divisor = std::uint64_t{1} << 16;

    // divisor must be in [2, max_divisor].
    explicit SmallRemainder(std::uint64_t divisor)
        : divisor_(divisor),
          // 2^32 mod d, less 2^32 (modulo 2^64, as unsigned arithmetic goes).
          fold_less_2_32_((std::uint64_t{1} << 32) % divisor - (std::uint64_t{1} << 32)),
          // ceil(2^64 / d) = floor((2^64 - 1) / d) + 1; below 2^64 for d >= 2.
          inverse_(UINT64_MAX / divisor + 1) {}

    std::uint64_t operator()(std::uint64_t draw) const {
        // high * fold + low, as draw - high * (2^32 - fold): one step fewer.
        const std::uint64_t folded = draw + (draw >> 32) * fold_less_2_32_;
        const std::uint64_t fraction = folded * inverse_;  // mod 2^64
        return static_cast<std::uint64_t>((static_cast<Wide>(fraction) * divisor_) >> 64);
    }

  private:
    __extension__ typedef unsigned __int128 Wide;

    std::uint64_t divisor_;
    std::uint64_t fold_less_2_32_;
    std::uint64_t inverse_;
};

// SmallRemainder's computation for a divisor known at compile time, with the
// fold taken as high * (2^32 mod d) + low: its constants become immediates
// (for d = 7 the fold is one lea), so that the result comes in fewer and
// shorter steps than the quotient way, draw - (draw / d) * d, which GCC takes
// for % by a constant. The walk's move-to-move chain runs through it.
template <std::uint64_t Divisor>
requires(Divisor >= 2 && Divisor <= SmallRemainder::max_divisor) constexpr std::uint64_t
    remainder_by(std::uint64_t draw) {
    constexpr std::uint64_t fold = (std::uint64_t{1} << 32) % Divisor;
    constexpr std::uint64_t inverse = UINT64_MAX / Divisor + 1;
    const std::uint64_t folded = (draw >> 32) * fold + (draw & UINT32_MAX);
    const std::uint64_t fraction = folded * inverse;
    __extension__ typedef unsigned __int128 Wide;
    return static_cast<std::uint64_t>((static_cast<Wide>(fraction) * Divisor) >> 64);
}

}  // namespace pellimor
