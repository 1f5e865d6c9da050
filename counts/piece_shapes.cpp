#include "counts/piece_shapes.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "counts/layered_table.hpp"
#include "counts/wide_layered_table.hpp"

namespace pellimor {

namespace {

constexpr long double minus_infinity = -std::numeric_limits<long double>::infinity();

// The shapes with their terms, one run of piece counts at a time, from the
// largest piece size down. Terms are summed as exp(log_term - reference),
// the reference being the first term met (raised when a term exceeds it by
// far). A run's tail is left out below tail_limit of the sum so far.
template <class Table>
class ShapeWalk {
  public:
    ShapeWalk(const Table& table, int m, int k, std::vector<ShapeTerm>& out,
              long double tail_limit)
        : table_(table), m_(m), k_(k), out_(out), tail_limit_(tail_limit) {
        out_.clear();
        const long double y = table.y();
        for (int b = 1; b <= PieceShape::largest_piece; ++b) {
            log_q_[static_cast<std::size_t>(b)] = table.log_q_of_piece(b);
            log_pairs_[static_cast<std::size_t>(b)] = 0.5 * b * (b - 1) * std::log(y);
        }
        if (m > 0) {
            low_ = table.lowest_top(m);
            high_ = table.highest_top(m);
        }
    }

    // Returns log of the sum of the terms; dropped() the bound on what was
    // left out, relative to that sum.
    long double run() {
        PieceShape shape;
        shape.vertices = k_;
        walk(std::min(k_, PieceShape::largest_piece), k_, shape, 0, 0);
        if (total_ <= 0) {
            return minus_infinity;
        }
        return static_cast<long double>(reference_ + std::log(total_));
    }

    long double dropped() const {
        return total_ > 0 ? static_cast<long double>(dropped_ / total_) : 0;
    }

  private:
    // Pieces of b vertices and fewer take the `left` vertices not yet placed;
    // log_w and log_q hold the factors of the larger pieces. Returns the sum
    // of the terms of the shapes below this point, scaled by the reference.
    long double walk(int b, int left, PieceShape& shape, long double log_w, long double log_q) {
        if (b == 1) {
            return leaf(left, shape, log_w, log_q);
        }
        long double run_sum = 0;
        const long double log_b_factorial = std::lgamma(b + 1.0);
        for (int j = 0; j * b <= left; ++j) {
            shape.pieces[static_cast<std::size_t>(b)] = static_cast<std::int16_t>(j);
            const long double piece_w =
                j * (log_pairs_[static_cast<std::size_t>(b)] - log_b_factorial) -
                std::lgamma(j + 1.0);
            const long double piece_q = j * log_q_[static_cast<std::size_t>(b)];
            const long double s =
                walk(b - 1, left - b * j, shape, log_w + piece_w, log_q + piece_q);
            run_sum += s;
            const int singles_at_most = left - b * j;
            if (singles_at_most < b) {
                break;
            }
            const long double sigma =
                tail_ratio(b, j, singles_at_most, log_q + piece_q + singles_at_most * log_q_[1]);
            if (sigma < 1 && total_ > 0) {
                const long double tail = s * sigma / (1 - sigma);
                if (tail < tail_limit_ * total_) {
                    dropped_ += tail;
                    break;
                }
            }
        }
        shape.pieces[static_cast<std::size_t>(b)] = 0;
        return run_sum;
    }

    // A bound on (next run's terms) / (this run's) for pieces of b vertices,
    // this run having j of them and at most `singles` one-vertex pieces, its
    // largest Q being exp(log_q_max): turning one b-piece of a next-run shape
    // into b one-vertex pieces multiplies w by at least
    // b! (j + 1) / (singles (singles - 1) ... (singles - b + 1) y^C(b,2)), and
    // Q by 1 / r, r = q_b / q_1^b < 1, which multiplies each term
    // t(m, k') (Q - 1)^k' Q^(m - k') of Phi by at least
    // ((Q - 1) / (Q r - 1))^k' r^-(m - k'): at least its value at k' = the
    // lowest kept top size for the first factor, at the highest for the
    // second, and at the largest Q of the run (the ratio falls with Q).
    long double tail_ratio(int b, int j, int singles, long double log_q_max) const {
        long double log_ratio =
            log_pairs_[static_cast<std::size_t>(b)] - std::lgamma(b + 1.0) - std::log(j + 1.0);
        for (int i = 0; i < b; ++i) {
            log_ratio += std::log(static_cast<long double>(singles - i));
        }
        if (m_ > 0) {
            const long double log_r = log_q_[static_cast<std::size_t>(b)] - b * log_q_[1];
            const long double shrink = std::expm1(log_q_max + log_r) / std::expm1(log_q_max);
            log_ratio += low_ * std::log(shrink) + (m_ - high_) * log_r;
        }
        return std::exp(log_ratio);
    }

    long double leaf(int singles, PieceShape& shape, long double log_w, long double log_q) {
        shape.pieces[1] = static_cast<std::int16_t>(singles);
        shape.log_weight =
            static_cast<long double>(table_.log_factorial(k_) - table_.log_factorial(singles)) +
            log_w;
        shape.log_q = log_q + singles * log_q_[1];
        const long double log_term = shape.log_weight + table_.log_cover_sum(m_, shape.log_q);
        shape.pieces[1] = 0;
        if (log_term == minus_infinity) {
            return 0;
        }
        out_.push_back({shape, log_term});
        out_.back().shape.pieces[1] = static_cast<std::int16_t>(singles);
        if (total_ == 0) {
            reference_ = log_term;
        } else if (log_term > reference_ + 1000) {
            const long double scale = std::exp(reference_ - log_term);
            total_ *= scale;
            dropped_ *= scale;
            reference_ = log_term;
        }
        const long double term = std::exp(static_cast<long double>(log_term) - reference_);
        total_ += term;
        return term;
    }

    const Table& table_;
    int m_;
    int k_;
    std::vector<ShapeTerm>& out_;
    long double tail_limit_;
    std::array<long double, PieceShape::largest_piece + 1> log_q_{};
    std::array<long double, PieceShape::largest_piece + 1> log_pairs_{};
    int low_ = 0;
    int high_ = 0;
    long double reference_ = 0;
    long double total_ = 0;
    double dropped_ = 0;
};

}  // namespace

template <class Table>
long double walk_shapes(const Table& table, int m, int k, std::vector<ShapeTerm>& out,
                        long double* dropped, long double tail_limit) {
    ShapeWalk<Table> walk(table, m, k, out, tail_limit);
    const long double log_sum = walk.run();
    if (dropped != nullptr) {
        *dropped += walk.dropped();
    }
    return log_sum;
}

long double sum_over_shapes(const LayeredTable& table, int m, int k, std::vector<ShapeTerm>& out,
                            long double* dropped) {
    return walk_shapes(table, m, k, out, dropped, shape_tail_limit);
}

long double sum_over_shapes(const WideLayeredTable& table, int m, int k,
                            std::vector<ShapeTerm>& out, long double* dropped,
                            long double tail_limit) {
    return walk_shapes(table, m, k, out, dropped, tail_limit);
}

}  // namespace pellimor
