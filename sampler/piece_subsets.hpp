#pragma once

// Random sets for the rows of the layered proposal: each piece of b vertices
// in a column, or each vertex in a piece's row, independently with
// probability p_b = y^b / (1 + y^b) (the weight y^b per entry, normalised),
// or the same conditioned on a non-empty set. Runs of equal probability are
// crossed by geometric skips, P(skip = j) = (1 - p)^j p, so a set costs
// O(1 + its size) draws; the first member of a non-empty set comes from
//   P(first = i) = prod_(j < i) (1 - p_j) p_i / (1 - prod_all (1 - p_j)),
// by inverting 1 - (1 - p)^(i + 1) within a run.

#include <cstddef>
#include <utility>
#include <vector>

#include "sampler/random.hpp"

namespace pellimor {

class PieceSubsets {
  public:
    explicit PieceSubsets(double y);

    // Appends (piece, v) for a random set of the one-vertex pieces `singles`
    // and the larger pieces `larger` (sizes in piece_size by piece), any or
    // non-empty.
    void pieces(Xoshiro256StarStar& rng, const std::vector<int>& singles,
                const std::vector<int>& larger, const std::vector<int>& piece_size, int v,
                bool non_empty, std::vector<std::pair<int, int>>& out) const;

    // Appends (piece, v) for a random set of vertices v in [0, lower), for a
    // piece of b vertices, any or non-empty (lower >= 1 then).
    void lower_row(Xoshiro256StarStar& rng, int piece, int b, int lower, bool non_empty,
                   std::vector<std::pair<int, int>>& out) const;

  private:
    std::vector<double> p_;     // p_b by piece size b
    std::vector<double> skip_;  // log(1 - p_b)
};

}  // namespace pellimor
