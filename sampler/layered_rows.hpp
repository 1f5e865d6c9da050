#pragma once

// The rows of one level of a layered proposal, drawn once everything below
// the level is known: given the level's pieces, its tilt c, and the object H
// below it (its top level T' with k' vertices, R' of them roots, and the M
// vertices under T'), rows are drawn in proportion to
//
//   y^(b |row| summed over the pieces) * [every vertex of T' is in a row]
//     * [no split pair] * g_c(the level's own roots),
//
// a split pair being a root r of T' whose only toucher is a one-vertex piece
// with row {r}, and the level's roots its one-vertex pieces with empty rows.
// The normaliser of that draw is the g_c'(R') by which the top-down draw
// (sampler/layered_levels.hpp) weighted H.
//
// The positive dynamic programme. A vertex's column is the set of pieces
// whose rows hold it; a piece of b vertices in a column weighs y^b. The
// vertices of T' are taken non-roots first, then roots, with the state
// (u, tau): u one-vertex pieces not yet touched, tau touched once, by a root
// whose column was that piece alone (tentative: a split pair unless the
// piece's row gets another vertex); the other pieces, any set of which
// weighs O = (1 + y)^(j1 - u - tau) prod_big (1 + y^b), are free. A non-root
// takes a >= 1 untouched pieces (C(u, a) y^a O, to (u - a, tau)) or none
// (O - 1: its column may not be empty). A root's column is
//   one untouched piece alone:  u y            -> (u - 1, tau + 1)
//   one untouched and others:   u y (O - 1)    -> (u - 1, tau)
//   others only:                O - 1          -> (u, tau)
//   a untouched and b tentative, any others, (a, b) not (0, 0) or (1, 0):
//                               C(u,a) C(tau,b) y^(a+b) O -> (u - a, tau - b)
// (all but the first leave every piece it touches free). Under T' each
// piece's row among the M vertices is a set weighing (1 + y^b)^M in all; a
// one-vertex piece's is empty with weight share beta = (1 + y)^-M. Tentative
// pieces need a non-empty one, untouched ones may have an empty one (then
// they are the level's roots, z of them), so the end weight is
//   sum_z C(u, z) beta^z (1 - beta)^(u - z) g_c(z) (1 - beta)^tau
//   = (1 - beta)^tau sum_f (-1)^f c_f C(u, f) beta^f.
// The table is filled backwards and drawn forwards; then z, and the rows
// under T': non-empty for the u - z untouched and the tau tentative pieces,
// free (each vertex in with probability y^b / (1 + y^b), drawn by geometric
// skips, O(1 + row) each) for the others.
//
// draw_by_rejection() draws the same distribution naively: every column of
// T' non-empty, every row under T' free, kept when no split pair appears,
// with probability g_c(z) / c_0 (which is at most 1: see the levels). The
// tests hold the programme against it.

#include <cstdint>
#include <vector>

#include "counts/layered_table.hpp"
#include "sampler/piece_subsets.hpp"
#include "sampler/random.hpp"

namespace pellimor {

// One level's pieces and where its rows may go.
struct RowRequest {
    const PieceShape* shape = nullptr;  // pieces: one-vertex ones first, then by size
    const long double* tilt = nullptr;  // c, c_0 = 1
    int tilt_size = 1;
    int lower = 0;                          // M: the vertices 0 .. lower - 1 under T'
    int top_count = 0;                      // T': the vertices lower .. lower + top_count - 1
    const std::uint8_t* is_root = nullptr;  // by vertex: 1 for the roots of T'
};

// The rows drawn, by piece (pieces numbered as in RowRequest::shape).
struct LevelRows {
    std::vector<int> size;       // vertices of each piece
    std::vector<int> row_start;  // piece p's row: row[row_start[p] .. row_start[p + 1])
    std::vector<int> row;
    std::vector<std::pair<int, int>> incidences;  // (piece, vertex), in drawing order
    std::int64_t row_entries = 0;

    int pieces() const { return static_cast<int>(size.size()); }
};

class RowDrawer {
  public:
    explicit RowDrawer(double y);

    double y() const { return y_; }

    // Draws the rows of request into rows. Allocates only when a level needs
    // more room than any before.
    void draw(Xoshiro256StarStar& rng, const RowRequest& request, LevelRows& rows);

    // The same distribution by naive rejection (for tests).
    void draw_by_rejection(Xoshiro256StarStar& rng, const RowRequest& request, LevelRows& rows);

  private:
    void start(const RowRequest& request, LevelRows& rows);
    void fill_table(const RowRequest& request);
    // Backward value at root step t (0 .. roots) and state (u, tau).
    double& root_value(int t, int u, int tau) {
        return root_values_[(static_cast<std::size_t>(t) * (j1_ + 1) + u) * (roots_ + 1) + tau];
    }
    double& top_value(int t, int u) {
        return top_values_[static_cast<std::size_t>(t) * (j1_ + 1) + u];
    }
    double others(int u, int tau) const;  // O(u, tau)
    double others_minus_one(int u, int tau) const;
    // Removes a random piece from list and returns it.
    int take(Xoshiro256StarStar& rng, std::vector<int>& list);
    void finish(LevelRows& rows);

    double y_;
    double log_q1_;
    PieceSubsets subsets_;
    int j1_ = 0;
    int roots_ = 0;
    int non_roots_ = 0;
    double log_big_ = 0;  // sum over the larger pieces of log(1 + y^b)
    std::vector<double> root_values_;
    std::vector<double> top_values_;
    std::vector<double> others_;            // O by u + tau
    std::vector<double> others_minus_one_;  // O - 1 by u + tau
    std::vector<double> end_;               // sum_f (-1)^f c_f C(u, f) beta^f, by u
    std::vector<double> taken_;             // the programme's G1 (see fill_table)
    std::vector<int> top_order_;
    std::vector<int> untouched_;
    std::vector<int> tentative_;
    std::vector<int> free_;  // one-vertex pieces whose rows are free
    std::vector<int> big_;   // the larger pieces (always free)
    std::vector<int> piece_size_;
    std::vector<int> row_sizes_;
    std::vector<int> column_sizes_;
    std::vector<int> column_piece_;
    LevelRows* out_ = nullptr;
};

}  // namespace pellimor
