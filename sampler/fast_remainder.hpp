#pragma once

// draw % d for a divisor fixed at run time, without a division instruction:
// the remainder is read off the fractional part of draw / d, computed with a
// 128-bit reciprocal (Lemire, Kaser and Kurz, "Faster remainder by direct
// computation", 2019). With 128 fractional bits the result equals draw % d
// for every 64-bit draw and every divisor d >= 1.

#include <cstdint>

namespace pellimor {

class FastRemainder {
  public:
    explicit FastRemainder(std::uint64_t divisor)
        : divisor_(divisor), reciprocal_(~Wide{0} / divisor + 1) {}

    std::uint64_t operator()(std::uint64_t draw) const {
        // The fraction draw / d in 128 fixed-point bits, then times d: the
        // integer part of that product is the remainder.
        const Wide fraction = reciprocal_ * draw;
        const Wide low = static_cast<std::uint64_t>(fraction) * static_cast<Wide>(divisor_);
        const Wide high = static_cast<std::uint64_t>(fraction >> 64) * static_cast<Wide>(divisor_);
        return static_cast<std::uint64_t>((high + (low >> 64)) >> 64);
    }

  private:
    __extension__ typedef unsigned __int128 Wide;

    std::uint64_t divisor_;
    Wide reciprocal_;
};

}  // namespace pellimor
