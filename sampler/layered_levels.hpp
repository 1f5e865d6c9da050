#pragma once

// The top-down half of a layered proposal (sampler/layered_proposal.hpp):
// the size of each level, its shape (how many pieces of each size) and its
// tilt, from the top level down, drawn so that the whole proposal (with the
// rows that sampler/layered_rows.hpp then draws bottom-up) is an M1 object
// drawn with probability proportional to y^edges. The objects and the table
// are those of counts/layered_table.hpp.
//
// Tilts. A state is (n', k, c): an object on n' vertices with a top level of
// k vertices, weighted by g_c(z) = sum_f (-1)^f c_f C(z, f), z the roots of
// its top level (one-vertex pieces with empty rows). The first state is
// (n, k, (1)) with k drawn in proportion to T(n, k). By the identity F1 of
// counts/layered_table.cpp, sum_O y^edges(O) g_c(z(O)) over the objects with
// top k on n' vertices is C(n', k) sum_f (-1)^f c_f C(n', f) T(n' - f, k - f).
//
// At a state with m = n' - k >= 1 vertices below the top, let the top's
// shape pi have j1 one-vertex pieces and Q = prod (1 + y^b) over its pieces,
// Q_g = Q / (1 + y)^g, and let the object O' below have top k'. Summing the
// rows of the top (cover of O''s top, no split pair, tilt g_c on the top's
// own roots) by marking f of the top's roots and f' split pairs, as in the
// table, leaves a function of O''s roots alone:
//
//   R_c(pi, O') = sum_f' (-1)^f' c'_f' C(z(O'), f'),
//   c'_f' = sum_f (-1)^f c_f C(j1, f) C(j1 - f, f') f'! y^f'
//                          (Q_(f+f') - 1)^(k' - f') Q_(f+f')^(m - k'),
//
// (the f marked roots have empty rows, the f' marked split pairs take f'
// roots of O' with rows of one vertex, and the other pieces' rows avoid both
// and cover O''s other top vertices), so O' is weighted by a tilt c' and
//
//   W_c(pi, k') = w(pi) sum_f' (-1)^f' c'_f' C(m, f') T(m - f', k' - f')   (F1).
//
// g_c(z) is a weight of row configurations, so 0 <= g_c(z) <= g_c(0) = c_0
// (more roots below only forbid more configurations), hence
// W_c <= c_0 W_(1): (pi, k') is drawn in proportion to W_(1) (shape first,
// from sum_k' W_(1) = w(pi) sum_f' (-1)^f' C(j1, f') f'! y^f' C(m, f')
// Phi_(m-f')(Q_f'), then k') and kept with probability W_c / (c_0 W_(1)).
// About e^lambda draws are needed, lambda the split pairs that the level
// above has in plain objects: few where the graph below is dense enough,
// and growing with n where it is sparse. At the bottom (m = 0) the shape is
// drawn in proportion to w(pi) g_c(j1). Tilts are held with c_0 = 1.
//
// Within one level the state and its tilt are fixed, so W_c / (c_0 W_(1))
// and c' are functions of (pi, k') alone, and the same pairs come up again
// and again among the e^lambda draws: each is computed once per level and
// kept in a memo (a note beside the pair's W_(1) in LayeredStates says
// which level and which entry), so that a repeated draw costs its uniforms
// and a look-up. The draws and their acceptance are those of the plain
// rejection, number for number.

#include <cstdint>
#include <span>
#include <vector>

#include "counts/layered_table.hpp"
#include "sampler/layered_states.hpp"
#include "sampler/random.hpp"
#include "sampler/signed_log_sum.hpp"

namespace pellimor {

// One level of a proposal as the top-down draw leaves it.
struct LevelDraw {
    PieceShape shape;
    int below = 0;       // vertices of the levels below it
    int tilt_start = 0;  // its tilt c: tilts[tilt_start .. tilt_start + tilt_size)
    int tilt_size = 1;
    // log of c'_0 / ((Q - 1)^k' Q^(m - k')), c' the next level's tilt before
    // it was scaled to c'_0 = 1: the level's rows without a split pair and
    // weighted by g_c, as a share of all rows that cover the level below
    // (when that level has no roots). Times g_c'(roots below), it is the
    // chance that rows drawn with cover alone pass (see layered_rows.hpp).
    long double log_row_share = 0;
};

class LevelDrawer {
  public:
    // Keeps a reference to table (which must outlive this object).
    explicit LevelDrawer(const LayeredTable& table);

    // The levels of one proposal on table.size() vertices, top first, into
    // levels, and their tilts into tilts (both cleared). Allocates only when
    // a proposal needs more room than any before it.
    void draw(Xoshiro256StarStar& rng, std::vector<LevelDraw>& levels,
              std::vector<long double>& tilts);

    // Draws of (shape, k') made and kept so far, over all proposals.
    std::int64_t shape_draws() const { return shape_draws_; }
    std::int64_t shape_draws_kept() const { return shape_draws_kept_; }
    // Of the draws, those whose (shape, k') was new at its level (the others
    // were answered by the memo).
    std::int64_t shape_draws_computed() const { return shape_draws_computed_; }

  private:
    // log |c'_f'| and signs for (pi, k') at this state, and log W_c / W_(1).
    // q_minus_one: log(Q_g - 1) of the shape by g (LayeredStates).
    long double tilted_ratio(int m, const PieceShape& shape,
                             std::span<const long double> q_minus_one, int k_below,
                             const long double* tilt, int tilt_size);
    // The bottom level's shape, in proportion to w(pi) g_c(j1).
    void draw_bottom(Xoshiro256StarStar& rng, int k, const long double* tilt, int tilt_size,
                     LevelDraw& level);
    int draw_top(Xoshiro256StarStar& rng) const;

    // W_c / (c_0 W_(1)) and c' of one (pi, k') at the level being drawn.
    struct Memo {
        long double log_ratio;
        long double log_row_share;
        std::uint32_t tilt_start;  // c' is memo_tilts_[tilt_start .. + tilt_size)
        std::uint32_t tilt_size;
    };

    // The memo entry of (pi, k') at the level being drawn, computed if new.
    const Memo& memo_of(std::size_t position, int m, std::uint32_t shape_index, int k_below,
                        const long double* tilt, int tilt_size);

    const LayeredTable& table_;
    LayeredStates states_;
    std::vector<Memo> memo_;  // this level's entries
    std::vector<long double> memo_tilts_;
    std::uint32_t generation_ = 0;  // of this level, in the high half of a note
    long double log_y_;
    long double log_q1_;
    std::vector<long double> shape_weights_;  // cumulative, for a bottom level
    std::vector<long double> next_tilt_;      // c' of the last tilted_ratio()
    long double log_row_share_ = 0;           // and its LevelDraw::log_row_share
    std::vector<long double> tilt_scales_;    // its terms' scales before normalising
    std::vector<long double> log_tilt_;       // log |c_f| of the level being drawn
    std::vector<long double> head_;           // see tilted_ratio()
    std::vector<long double> step_;
    std::vector<long double> tail_;
    std::vector<char> unit_q_;  // Q_g = 1
    std::vector<long double> term_logs_;
    SignedLogSum sum_;
    SignedLogSum tilted_;
    SignedLogSum plain_;
    std::int64_t shape_draws_ = 0;
    std::int64_t shape_draws_kept_ = 0;
    std::int64_t shape_draws_computed_ = 0;
};

// g_c(z) = sum_f (-1)^f c_f C(z, f).
long double tilt_weight(const long double* tilt, int tilt_size, int z);

}  // namespace pellimor
