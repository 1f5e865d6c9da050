#pragma once

// Counting the acyclic moral orientations (AMOs) of a small chordal graph by
// inclusion-exclusion over sink sets, memoised on vertex subsets:
//   f(empty) = 1,
//   f(S) = sum over non-empty T of (-1)^(|T|+1) f(S \ T),
// T ranging over the sets of pairwise non-adjacent vertices that are each
// simplicial in the subgraph induced on S (exactly the sets that can be among
// the sinks of an AMO of that subgraph). Exponential in the vertex count, for
// components of at most 20 vertices.
//
// The counts are held as unsigned 64-bit integers and summed modulo 2^64: an
// AMO count of k <= 20 vertices is at most k! <= 20! < 2^64, so every f(S),
// and the result, is exact even though partial sums wrap.

#include <cstdint>
#include <span>
#include <vector>

namespace pellimor {

class OrientationMemo {
  public:
    static constexpr int max_limit = 20;

    // Allocates the memo for graphs of up to limit vertices (1 .. 20);
    // throws std::invalid_argument otherwise.
    explicit OrientationMemo(int limit);

    int limit() const { return limit_; }

    // AMOs of the chordal graph on k = adjacency.size() <= limit() vertices in
    // which bit u of adjacency[v] is set when u and v are adjacent
    // (symmetric, no loops). Allocates nothing.
    std::uint64_t count(std::span<const std::uint32_t> adjacency);

  private:
    std::uint64_t f(std::uint32_t set);
    std::uint64_t sum_sinks(std::uint32_t set, std::uint32_t candidates, std::uint32_t taken,
                            bool odd);

    int limit_;
    const std::uint32_t* adjacency_ = nullptr;
    std::uint32_t stamp_ = 0;
    std::vector<std::uint64_t> value_;   // f(S), valid when seen_[S] == stamp_
    std::vector<std::uint32_t> seen_;
};

}  // namespace pellimor
