#pragma once

// Arithmetic modulo an odd prime p < 2^56 in Montgomery form (x stands for
// x 2^64 mod p), for the modular evaluation of the counting polynomials.
//
// A product of two residues is below p^2; up to 256 such products may be
// summed in 128 bits before one reduction, since 256 p^2 < p 2^64.

#include <cstdint>

namespace pellimor {

__extension__ using Uint128 = unsigned __int128;

class Montgomery {
  public:
    // Requires p odd, 3 <= p < 2^56.
    explicit Montgomery(std::uint64_t p) : p_(p) {
        // -p^-1 mod 2^64 by Newton's iteration: each step doubles the bits.
        std::uint64_t inverse = p;
        for (int i = 0; i < 6; ++i) {
            inverse *= 2 - p * inverse;
        }
        minus_inverse_ = 0 - inverse;
        // 2^128 mod p, to bring numbers into Montgomery form.
        const Uint128 r = (static_cast<Uint128>(1) << 64) % p;
        r_squared_ = static_cast<std::uint64_t>(r * r % p);
    }

    std::uint64_t modulus() const { return p_; }

    // The Montgomery form of x < 2^64, and back.
    std::uint64_t to(std::uint64_t x) const {
        return reduce(static_cast<Uint128>(x % p_) * r_squared_);
    }
    std::uint64_t from(std::uint64_t x) const { return reduce(x); }

    // t 2^-64 mod p for t < p 2^64.
    std::uint64_t reduce(Uint128 t) const {
        const std::uint64_t m = static_cast<std::uint64_t>(t) * minus_inverse_;
        const std::uint64_t r =
            static_cast<std::uint64_t>((t + static_cast<Uint128>(m) * p_) >> 64);
        return r >= p_ ? r - p_ : r;
    }

    std::uint64_t mul(std::uint64_t a, std::uint64_t b) const {
        return reduce(static_cast<Uint128>(a) * b);
    }
    std::uint64_t add(std::uint64_t a, std::uint64_t b) const {
        const std::uint64_t s = a + b;
        return s >= p_ ? s - p_ : s;
    }
    std::uint64_t sub(std::uint64_t a, std::uint64_t b) const {
        return a >= b ? a - b : a + p_ - b;
    }

    std::uint64_t pow(std::uint64_t base, std::uint64_t exponent) const {
        std::uint64_t result = to(1);
        while (exponent != 0) {
            if ((exponent & 1) != 0) {
                result = mul(result, base);
            }
            base = mul(base, base);
            exponent >>= 1;
        }
        return result;
    }
    // a^-1 for a != 0, by Fermat.
    std::uint64_t inverse(std::uint64_t a) const { return pow(a, p_ - 2); }

  private:
    std::uint64_t p_;
    std::uint64_t minus_inverse_;
    std::uint64_t r_squared_;
};

}  // namespace pellimor
