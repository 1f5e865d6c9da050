#pragma once

// Weighted counts of layered objects: the table behind the layered proposal
// (sampler/layered_proposal.hpp), which draws essential graphs weighted by
// y^edges exactly for sparse graphs on a thousand vertices and more.
//
// Removable vertices (no children, line neighbours pairwise joined) and the
// attachment rule are those of counts/edge_counts.cpp, where it is shown that
// a set S of removable vertices splits into pieces (cliques of lines whose
// vertices share their neighbourhood X, the piece's row, in G - S) and that
// G - S with the pieces and their rows gives G back. Repeating that on
// S_1 = R(G), S_2 = R(G - S_1), ... gives G's canonical layered object:
//
// - a layered object on n labelled vertices is a sequence of levels S_1
//   (top), ..., S_L, each split into pieces, each piece with a row inside
//   the levels below it, such that every vertex of S_(i+1) lies in the row of
//   some piece of S_i (cover); a piece of b vertices with row X weighs
//   y^(C(b,2) + b |X|), an object the product over its pieces;
// - a root of a level is a piece of one vertex with an empty row; a split
//   pair is a root r of S_(i+1) whose only toucher in S_i is a one-vertex
//   piece with row {r}; M1 objects are the layered objects without a split
//   pair. Canonical objects are M1 objects (both ends of a split pair are
//   removable in the graph of the levels from i on), one per essential graph.
//
// This table holds T(n, k): the M1 objects on n labelled vertices whose top
// level has k vertices, weighted by y^edges, for every n up to a bound, as
// the log of the row total sum_k T(n, k) and each top size's share of it.
// The recurrence and what the build drops are in layered_table.cpp.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "counts/piece_shapes.hpp"

namespace pellimor {

class LayeredTable {
  public:
    // The largest n accepted: the memo of V holds (n + 1)^2 long doubles.
    static constexpr int max_vertices = 4000;

    // Rows 0 .. n of T at weight y, 0 < y. Throws std::invalid_argument for n
    // outside 0 .. max_vertices, or for a y at which pieces of more than
    // PieceShape::largest_piece vertices would carry weight (a dense graph:
    // the rejection from DAGs suits it), and std::domain_error when a kept
    // entry's sum over split pairs cancels beyond largest_relative_error (a
    // graph so sparse that plain objects split lines across levels many
    // times over, see layered_table.cpp). Checks *stop (when given) between rows and throws
    // SetupStopped once it is set.
    LayeredTable(int n, double y, const std::atomic<bool>* stop = nullptr);

    // Memory the build takes at n, the memo of V included.
    static std::size_t bytes_needed(int n);

    int size() const { return n_; }
    double y() const { return y_; }

    // The top sizes kept in row m: lowest_top(m) .. highest_top(m); outside
    // them top_share is 0.
    int lowest_top(int m) const { return low_[static_cast<std::size_t>(m)]; }
    int highest_top(int m) const { return high_[static_cast<std::size_t>(m)]; }
    // T(m, k) / sum_k T(m, k).
    double top_share(int m, int k) const;
    long double top_share_precise(int m, int k) const {
        return k < lowest_top(m) || k > highest_top(m)
                   ? 0
                   : share_[start_[static_cast<std::size_t>(m)] +
                            static_cast<std::size_t>(k - lowest_top(m))];
    }
    // log sum_k T(m, k).
    long double log_total(int m) const { return log_total_[static_cast<std::size_t>(m)]; }
    // log T(m, k); -infinity where the share is 0.
    long double log_count(int m, int k) const;

    // log(Phi_m(Q) / sum_k T(m, k)) for log Q >= 0, where
    // Phi_m(Q) = sum_k T(m, k) (Q - 1)^k Q^(m - k) (Phi_0 = 1).
    long double log_cover_sum(int m, long double log_q) const;

    // The shapes of k vertices that carry V(m, k) = sum_shapes w Phi_m(Q),
    // with their terms, into out (cleared first; it keeps its capacity, so a
    // caller that reuses it stops allocating). Tails of shapes whose bound is
    // below 2^-64 of the sum so far are left out. Returns
    // log(V(m, k) / sum_k T(m, k)), -infinity when V is 0.
    long double shape_terms(int m, int k, std::vector<ShapeTerm>& out) const;

    // log of m!/(k! (m-k)!) and of m!, for 0 <= k <= m <= size() + 1.
    long double log_binomial(int m, int k) const {
        return log_factorial_[static_cast<std::size_t>(m)] -
               log_factorial_[static_cast<std::size_t>(k)] -
               log_factorial_[static_cast<std::size_t>(m - k)];
    }
    long double log_factorial(int m) const { return log_factorial_[static_cast<std::size_t>(m)]; }

    // log(1 + y^b) for b = 1 .. PieceShape::largest_piece.
    long double log_q_of_piece(int b) const { return log_q_piece_[static_cast<std::size_t>(b)]; }

    // What the build dropped: an upper bound on the share of the rows'
    // totals, summed over the rows, that the top sizes above the mode and
    // below 2^-100 of their row's largest and the pieces beyond
    // PieceShape::largest_piece carried, and the largest share that a sum
    // over shapes left out.
    double dropped_share() const { return dropped_ + shape_dropped_; }

    // The largest estimated relative error of a kept T(n, k): the size of
    // its sum over split pairs (the sum of its terms' absolute values) times
    // the accuracy of one term, over its value. A row with a kept entry
    // beyond largest_relative_error is refused.
    double largest_error() const { return largest_error_; }
    static constexpr double largest_relative_error = 1e-9;

  private:
    struct Entry {
        long double log_value;  // -infinity when the sum is not positive
        long double log_error;  // its estimated absolute error
    };
    // log V(m, k) (memoised; rows 0 .. m must be built).
    long double log_v(int m, int k);
    // T(n, k) by the sum over split pairs.
    Entry log_t(int n, int k);
    void build_row(int n);

    int n_;
    double y_;
    long double log_y_;
    std::vector<long double> log_factorial_;
    std::array<long double, PieceShape::largest_piece + 1> log_q_piece_{};
    std::vector<int> low_;
    std::vector<int> high_;
    std::vector<std::size_t> start_;  // row m's shares at start_[m] ..
    std::vector<long double> share_;
    std::vector<long double> log_count_;  // log T(m, k), as share_
    std::vector<long double> log_total_;
    std::vector<long double> memo_;  // log V(m, k) at m * (n + 1) + k; NaN: not yet
    std::vector<ShapeTerm> scratch_;
    double largest_error_ = 0;
    double shape_dropped_ = 0;
    double dropped_ = 0;
};

}  // namespace pellimor
