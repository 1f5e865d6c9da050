#pragma once

// The shapes of a level of the layered objects (counts/layered_table.hpp):
// how many pieces of each size it has, with w (the set partitions of its k
// labelled vertices of that shape, times y^C(b,2) per piece of b) and
// Q = prod (1 + y^b) over its pieces; and the sum over the shapes of k
// vertices that the table's V(m, k) = sum_shapes w Phi_m(Q) needs, with the
// shapes that carry it.
//
// What the sum leaves out: a run of shapes (more and more pieces of some
// size b, the smaller pieces enumerated within) stops once a bound on its
// whole tail is below 2^-64 of the sum so far. Turning one piece of b
// vertices of a shape into b one-vertex pieces maps each shape of the next
// run into the current one, and raises the term at most by a ratio sigma
// that falls along the run (tail_ratio() in the source), so the tail is at
// most term * sigma / (1 - sigma).

#include <array>
#include <cstdint>
#include <vector>

namespace pellimor {

class LayeredTable;
class WideLayeredTable;

inline constexpr long double shape_tail_limit = 0x1p-64L;

// A shape: how many pieces of each size a level of k vertices has.
struct PieceShape {
    // Larger pieces are left out of every shape; LayeredTable refuses a y at
    // which they would carry weight.
    static constexpr int largest_piece = 16;

    int vertices = 0;
    std::array<std::int16_t, largest_piece + 1> pieces{};  // pieces[b]: pieces of b vertices
    long double log_weight = 0;  // log w: set partitions of the k vertices of this shape, times
                                 // y^(sum over pieces of C(b,2))
    long double log_q = 0;       // log Q = sum over pieces of log(1 + y^b)

    int singles() const { return pieces[1]; }
};

// A shape with log(w Phi_m(Q) / sum_k T(m, k)): its term in V(m, k).
struct ShapeTerm {
    PieceShape shape;
    long double log_term = 0;
};

// The shapes of k vertices that carry V(m, k), each with
// log(w Phi_m(Q) / sum_k T(m, k)), into out (cleared; it keeps its
// capacity). Returns log(V(m, k) / sum_k T(m, k)), -infinity when V is 0;
// when dropped is given, adds to it the bound on the share left out.
long double sum_over_shapes(const LayeredTable& table, int m, int k, std::vector<ShapeTerm>& out,
                            long double* dropped);
// The same for the multiprecision build, whose terms are approximate (it
// recomputes the kept ones exactly) and whose tails go below tail_limit.
long double sum_over_shapes(const WideLayeredTable& table, int m, int k,
                            std::vector<ShapeTerm>& out, long double* dropped,
                            long double tail_limit);

}  // namespace pellimor
