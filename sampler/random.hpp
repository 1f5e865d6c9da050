#pragma once

// Random streams. Every sample draws from its own xoshiro256** generator whose
// state comes from (run seed, sample number) through SplitMix64, so a sample's
// walk depends only on those two numbers: not on the thread that runs it, the
// machine, or the samples before it. Both generators are defined by their
// published reference code, so a seed gives the same draws everywhere.

#include <bit>
#include <cstdint>

namespace pellimor {

// SplitMix64 (Steele, Lea and Flood): a 64-bit counter passed through a
// mixing function. Used only to expand seeds.
class SplitMix64 {
  public:
    explicit SplitMix64(std::uint64_t seed) : state_(seed) {}

    std::uint64_t operator()() {
        state_ += 0x9e3779b97f4a7c15;
        return mix(state_);
    }

    // The finaliser alone: a bijection that spreads every input bit.
    static std::uint64_t mix(std::uint64_t z) {
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9;
        z = (z ^ (z >> 27)) * 0x94d049bb133111eb;
        return z ^ (z >> 31);
    }

  private:
    std::uint64_t state_;
};

// xoshiro256** (Blackman and Vigna): the walk's generator. Inline and
// branch-free, so a draw costs a few cycles.
class Xoshiro256StarStar {
  public:
    // Fills the state from SplitMix64(seed), as the reference recommends;
    // that never yields the all-zero state for four consecutive outputs.
    explicit Xoshiro256StarStar(std::uint64_t seed) {
        SplitMix64 seeder(seed);
        for (auto& word : s_) {
            word = seeder();
        }
    }

    // Takes the state as it is, for checking against the reference outputs.
    Xoshiro256StarStar(std::uint64_t s0, std::uint64_t s1, std::uint64_t s2, std::uint64_t s3)
        : s_{s0, s1, s2, s3} {}

    std::uint64_t operator()() {
        const std::uint64_t result = std::rotl(s_[1] * 5, 7) * 9;
        const std::uint64_t t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = std::rotl(s_[3], 45);
        return result;
    }

  private:
    std::uint64_t s_[4];
};

// The generator of sample `sample_number` (counted from 1) of the run with
// `run_seed`. Distinct sample numbers give unrelated streams.
inline Xoshiro256StarStar sample_stream(std::uint64_t run_seed, std::uint64_t sample_number) {
    return Xoshiro256StarStar(SplitMix64::mix(run_seed ^ SplitMix64::mix(sample_number)));
}

}  // namespace pellimor
