#include "sampler/piece_subsets.hpp"

#include <algorithm>
#include <cmath>

#include "counts/layered_table.hpp"  // PieceShape::largest_piece

namespace pellimor {

namespace {

double unit(Xoshiro256StarStar& rng) {
    return static_cast<double>(rng() >> 11) * 0x1p-53;
}

// A uniform value in (0, 1], for logarithms.
double open_unit(Xoshiro256StarStar& rng) {
    return (static_cast<double>(rng() >> 11) + 1) * 0x1p-53;
}

}  // namespace

PieceSubsets::PieceSubsets(double y) {
    p_.assign(PieceShape::largest_piece + 1, 0);
    skip_.assign(PieceShape::largest_piece + 1, 0);
    for (int b = 1; b <= PieceShape::largest_piece; ++b) {
        const double yb = std::pow(y, b);
        p_[static_cast<std::size_t>(b)] = yb / (1 + yb);
        skip_[static_cast<std::size_t>(b)] = -std::log1p(yb);  // log(1 - p_b)
    }
}

void PieceSubsets::pieces(Xoshiro256StarStar& rng, const std::vector<int>& singles_list,
                          const std::vector<int>& big_, const std::vector<int>& piece_size_, int v,
                          bool non_empty, std::vector<std::pair<int, int>>& out) const {
    const std::size_t singles = singles_list.size();
    std::size_t i = 0;    // next one-vertex piece to decide
    std::size_t big = 0;  // next larger piece to decide
    if (non_empty) {
        const double none_single = std::exp(static_cast<double>(singles) * skip_[1]);
        double none = none_single;
        for (const int piece : big_) {
            none *= 1 - p_[static_cast<std::size_t>(piece_size_[static_cast<std::size_t>(piece)])];
        }
        const double target = unit(rng) * (1 - none);
        if (target < 1 - none_single) {
            i = std::min(static_cast<std::size_t>(std::floor(std::log1p(-target) / skip_[1])),
                         singles - 1);
            out.emplace_back(singles_list[i], v);
            ++i;
        } else {
            i = singles;
            double rest = (target - (1 - none_single)) / none_single;
            for (;; ++big) {
                const double p =
                    p_[static_cast<std::size_t>(piece_size_[static_cast<std::size_t>(big_[big])])];
                if (rest < p || big + 1 == big_.size()) {
                    break;
                }
                rest = (rest - p) / (1 - p);
            }
            out.emplace_back(big_[big], v);
            ++big;
        }
    }
    for (;;) {
        const double jump = std::floor(std::log(open_unit(rng)) / skip_[1]);
        if (jump >= static_cast<double>(singles - i)) {
            break;
        }
        i += static_cast<std::size_t>(jump);
        out.emplace_back(singles_list[i], v);
        ++i;
    }
    for (; big < big_.size(); ++big) {
        const int piece = big_[big];
        if (unit(rng) <
            p_[static_cast<std::size_t>(piece_size_[static_cast<std::size_t>(piece)])]) {
            out.emplace_back(piece, v);
        }
    }
}

void PieceSubsets::lower_row(Xoshiro256StarStar& rng, int piece, int size, int lower,
                             bool non_empty, std::vector<std::pair<int, int>>& out) const {
    const auto b = static_cast<std::size_t>(size);
    int v = 0;
    if (non_empty) {
        // P(first = i) proportional to (1 - p)^i p, i < lower.
        const double all = -std::expm1(lower * skip_[b]);  // 1 - (1 - p)^lower
        v = static_cast<int>(std::floor(std::log1p(-unit(rng) * all) / skip_[b]));
        v = std::min(v, lower - 1);
        out.emplace_back(piece, v);
        ++v;
    }
    for (;;) {
        const double jump = std::floor(std::log(open_unit(rng)) / skip_[b]);
        if (jump >= static_cast<double>(lower - v)) {
            return;
        }
        v += static_cast<int>(jump);
        out.emplace_back(piece, v);
        ++v;
    }
}

}  // namespace pellimor
