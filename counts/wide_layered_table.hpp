#pragma once

// The table of counts/layered_table.hpp, T(n, k), built in multiprecision
// floating point (GMP's mpf) with an error bound carried entry by entry.
//
// Where graphs are very sparse the sums over split pairs cancel by many
// orders of magnitude (1.2e17 at 150 vertices and y = 0.001), and a long
// double build cannot hold the kept entries to the accuracy the draw needs.
// This build keeps `bits` bits and cuts every sum (top sizes above the
// mode, tails of shapes, the sum over split pairs) at 2^-cut_bits of what it
// kept, so its error is about the cancellation times 2^-cut_bits; each
// entry carries a bound on its relative error: its own sum's terms times the
// errors of the entries they rest on, weighted as those entries weigh in the
// sum (see the source). The bound leaves out that those errors are alike
// from term to term, and so cancel too: it runs above the true error (at
// 150 vertices and y = 0.0066, 128 bits cut at 2^-64 refuse with a bound of
// 1.01e-9 on T(83, 43), where the long double table, with no more bits, is
// within 4.1e-10 of a 192-bit build). A build whose kept entries are not
// all within largest_relative_error throws std::domain_error; more bits
// mend it.
//
// It is a check of the long double table (see the layered benchmark), not a
// part of runs: at 150 vertices and y = 0.0066 it takes 15 s at 128 bits
// and 95 s at 192, where the long double build takes 1.3 s.
//
// It offers the same read-only interface as LayeredTable for the shapes'
// enumeration (counts/piece_shapes.hpp), in long double, and the entries
// themselves as mpf numbers.

#include <gmpxx.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <memory>
#include <vector>

#include "counts/piece_shapes.hpp"

namespace pellimor {

class WideLayeredTable {
  public:
    static constexpr double largest_relative_error = 1e-9;

    // Rows 0 .. n at weight y with `bits` bits (64 <= bits <= 4096), cut at
    // 2^-cut_bits (cut_bits is taken into 32 .. bits).
    // Throws std::invalid_argument for arguments out of range or a y too
    // dense for pieces of PieceShape::largest_piece vertices, and
    // std::domain_error when a kept entry's error bound passes
    // largest_relative_error. Checks *stop (when given) between rows and
    // throws SetupStopped once it is set.
    WideLayeredTable(int n, double y, int bits, int cut_bits,
                     const std::atomic<bool>* stop = nullptr);

    int size() const { return n_; }
    double y() const { return y_; }

    int lowest_top(int m) const { return low_[static_cast<std::size_t>(m)]; }
    int highest_top(int m) const { return high_[static_cast<std::size_t>(m)]; }
    // T(m, k) / sum_k T(m, k), 0 outside the kept top sizes.
    long double top_share(int m, int k) const;
    // T(m, k), 0 outside the kept top sizes.
    const mpf_class& count(int m, int k) const;
    long double log_total(int m) const { return log_total_[static_cast<std::size_t>(m)]; }
    // The bound on T(m, k)'s relative error (0 outside the kept top sizes).
    double relative_error(int m, int k) const;

    // The largest error bound of a kept entry, and the largest ratio of a
    // kept entry's sum of absolute terms over split pairs to its value.
    double largest_error() const { return largest_error_; }
    double largest_cancellation() const { return largest_cancellation_; }
    // An upper bound on the share of the rows' totals, summed over the rows,
    // that the cuts left out.
    double dropped_share() const { return dropped_; }

    // What the shapes' enumeration reads (as LayeredTable).
    long double log_factorial(int m) const { return log_factorial_[static_cast<std::size_t>(m)]; }
    long double log_q_of_piece(int b) const { return log_q_piece_[static_cast<std::size_t>(b)]; }
    long double log_cover_sum(int m, long double log_q) const;

  private:
    struct Entry {
        mpf_class value;
        double error = 0;  // relative
        long double log_value = 0;
    };
    struct Sum {
        mpf_class value;
        double error = 0;  // relative
    };
    const Sum& v(int m, int k);
    Entry t(int n, int k);
    void build_row(int n);
    // Phi_m(Q) / sum_k T(m, k) for the shape, and its relative error.
    void cover_sum(int m, const PieceShape& shape, mpf_class& out, double& error);

    int n_;
    double y_;
    int bits_;
    mp_bitcnt_t precision_;
    long double cut_;  // 2^-cut_bits, the cuts
    std::vector<long double> log_factorial_;
    std::array<long double, PieceShape::largest_piece + 1> log_q_piece_{};
    std::vector<mpf_class> factorial_;
    std::array<mpf_class, PieceShape::largest_piece + 1> q_piece_;    // 1 + y^b
    std::array<mpf_class, PieceShape::largest_piece + 1> pairs_piece_;  // y^C(b,2) / b!
    mpf_class y_wide_;
    std::vector<int> low_;
    std::vector<int> high_;
    std::vector<std::size_t> start_;
    std::vector<mpf_class> count_;  // T(m, k) at start_[m] + k - low_[m]
    std::vector<mpf_class> share_;
    std::vector<long double> share_ld_;
    std::vector<double> error_;
    std::vector<long double> log_total_;
    std::vector<mpf_class> total_;
    std::vector<std::unique_ptr<Sum>> memo_;  // V(m, k) at m * (n + 1) + k, made when first asked
    std::vector<ShapeTerm> scratch_;
    // Numbers reused by v() and cover_sum(), so that their loops do not
    // allocate.
    mpf_class q_, x_, horner_, power_, w_, cover_;
    mpf_class zero_;
    double largest_error_ = 0;
    double largest_cancellation_ = 1;
    double dropped_ = 0;
};

}  // namespace pellimor
