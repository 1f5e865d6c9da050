#include "graph/incremental_admissibility.hpp"

#include <algorithm>
#include <bit>

#include "util/check.hpp"

// Why looking near the move is enough.
//
// The graph G is admissible before every move; G' is G with the move's change.
// pa, ch, ln and adj are the parent, child, line-neighbour and adjacency sets.
// The four conditions of is_admissible read, in set form:
//  1. for every line j - k, pa(j) = pa(k) (i -> j - k forces i -> k, and
//     i -> k - j forces i -> j);
//  2. the arrows are acyclic;
//  3. the lines are chordal;
//  4. every arrow i -> j is protected: pa(i) & ~adj(j) (A), or
//     pa(j) & ~adj(i) & ~{i} (B), or ch(i) & pa(j) (C) is non-empty, or
//     ln(i) & pa(j) is not a clique (D).
// Two facts about an admissible G are used below:
//  - a line neighbour k of y never has x as parent when x and y are not
//    adjacent (x -> k - y would force x -> y);
//  - the line neighbours of a vertex are joined among themselves by lines
//    only (an arrow a -> b inside ln(x) puts a in pa(b) = pa(x) and in ln(x)).
// Each move below states which conditions it can break and which arrows can
// lose their protection; all other arrows keep their witnesses. Conditions are
// tested cheapest first, which does not change the answer since all must hold.
// Protection is always judged on G' itself: the change is linked into the
// rows, the re-checks run, and the change is unlinked again on failure.

namespace pellimor {

template <int FixedWords>
struct IncrementalKernel {
    using Graph = IncrementalAdmissibility;

    Graph& g;
    // The rows and their width, read once per move rather than through g at
    // every access.
    const RowsView<FixedWords> r;

    explicit IncrementalKernel(Graph& graph) : g(graph), r(graph.rows_) {}

    int words() const { return r.words(); }
    Word* pa(int v) const { return r.pa(v); }
    Word* ch(int v) const { return r.ch(v); }
    Word* ln(int v) const { return r.ln(v); }
    Word* adj(int v) const { return r.adj(v); }

    // The move's first test (see first_test_of).
    bool passes_first_test(MoveKind kind, const int v[3]) const {
        switch (first_test_of(kind)) {
            case FIRST_TEST_SAME_PARENTS: {
                const Word* pa_x = pa(v[VERTEX_X]);
                const Word* pa_y = pa(v[VERTEX_Y]);
                return !any_word(words(), [&](int w) { return pa_x[w] ^ pa_y[w]; });
            }
            case FIRST_TEST_HEAD_WITHOUT_LINES:
                return !any_bit(ln(v[head_of(move_rules[kind])]), words());
            case FIRST_TEST_NONE:
                break;
        }
        return true;
    }

    // Condition 4 for the arrow i -> j of the graph the rows hold now. A, B
    // and C in one pass over the words (adj(i) holds i, which keeps i itself
    // out of B); D only when they all fail.
    bool is_protected(int i, int j) const {
        const Word* pa_i = pa(i);
        const Word* ch_i = ch(i);
        const Word* adj_i = adj(i);
        const Word* pa_j = pa(j);
        const Word* adj_j = adj(j);
        if (any_word(words(), [&](int w) {
                return (pa_i[w] & ~adj_j[w]) | (pa_j[w] & ~adj_i[w]) | (ch_i[w] & pa_j[w]);
            })) {
            return true;
        }
        const Word* ln_i = ln(i);
        return !pairwise_adjacent([&](int w) { return ln_i[w] & pa_j[w]; });
    }

    // Whether the vertices of the set are pairwise adjacent (a clique).
    template <typename WordOf>
    bool pairwise_adjacent(WordOf set) const {
        return all_bits(words(), set, [&](int k) {
            const Word* adj_k = adj(k);
            return !any_word(words(), [&](int w) { return set(w) & ~adj_k[w]; });
        });
    }

    // Drops from the `count` consecutive rows at `sets` every vertex that
    // some vertex of `witnesses` is not adjacent to (each vertex counts as
    // adjacent to itself). The re-checks use it to clear in bulk the arrows
    // whose A or B a common witness still gives.
    void keep_adjacent_to_all(Word* sets, int count, const Word* witnesses) const {
        const int nw = words();
        all_bits(
            nw, [&](int w) { return witnesses[w]; },
            [&](int p) {
                const Word* adj_p = adj(p);
                Word left = 0;
                for (int k = 0; k < count; ++k) {
                    for (int w = 0; w < nw; ++w) {
                        sets[k * nw + w] &= adj_p[w];
                        left |= sets[k * nw + w];
                    }
                }
                return left != 0;
            });
    }

    // Every arrow i -> j with i in the set is protected.
    template <typename WordOf>
    bool protected_into(WordOf tails, int j) const {
        return all_bits(words(), tails, [&](int i) { return is_protected(i, j); });
    }
    // Every arrow i -> j with j in the set is protected.
    template <typename WordOf>
    bool protected_out_of(int i, WordOf heads) const {
        return all_bits(words(), heads, [&](int j) { return is_protected(i, j); });
    }

    // Chordality of the lines plus x - y, for non-adjacent x and y: a chordless
    // cycle through the new line is an induced path x ... y of at least three
    // lines in G, none of whose inner vertices is a common line neighbour; and
    // a shortest line path from x to y that avoids the common line neighbours
    // is such an induced path. So the lines stay chordal iff x and y are
    // disconnected among lines once ln(x) & ln(y) is removed. Searched from
    // both ends, a whole level at a time from each side in turn, until a side
    // runs out of vertices (disconnected) or reaches a vertex the other side
    // has seen.
    bool lines_separated(int x, int y) const {
        const int nw = words();
        const Word* ln_x = ln(x);
        const Word* ln_y = ln(y);
        // Per side: the vertices seen and the frontier still to expand.
        Word* seen_x = g.scratch(0);
        Word* todo_x = g.scratch(1);
        Word* seen_y = g.scratch(2);
        Word* todo_y = g.scratch(3);
        Word* next = g.scratch(4);
        std::fill_n(seen_x, 4 * nw, Word{0});
        set_bit(seen_x, x);
        set_bit(todo_x, x);
        set_bit(seen_y, y);
        set_bit(todo_y, y);
        for (bool from_x = true;; from_x = !from_x) {
            Word* seen = from_x ? seen_x : seen_y;
            Word* todo = from_x ? todo_x : todo_y;
            const Word* other = from_x ? seen_y : seen_x;
            std::fill_n(next, nw, Word{0});
            all_bits(
                nw, [&](int w) { return todo[w]; },
                [&](int v) {
                    const Word* ln_v = ln(v);
                    for (int w = 0; w < nw; ++w) {
                        next[w] |= ln_v[w];
                    }
                    return true;
                });
            Word any_fresh = 0;
            for (int w = 0; w < nw; ++w) {
                const Word fresh = next[w] & ~(ln_x[w] & ln_y[w]) & ~seen[w];
                if ((fresh & other[w]) != 0) {
                    return false;
                }
                seen[w] |= fresh;
                todo[w] = fresh;
                any_fresh |= fresh;
            }
            if (any_fresh == 0) {
                return true;
            }
        }
    }

    // The rest of each move, once its precondition and first test hold.
    bool finish(MoveKind kind, int x, int y, int z) const {
        switch (kind) {
            case MOVE_ADD_LINE:
                return add_line(x, y);
            case MOVE_REMOVE_LINE:
                return remove_line(x, y);
            case MOVE_ADD_ARROW:
                return add_arrow(x, y);
            case MOVE_REMOVE_ARROW:
                return remove_arrows_into(y, x, x);
            case MOVE_ADD_VEE:
                return add_vee(x, y, z);
            case MOVE_REMOVE_VEE:
                return remove_arrows_into(z, x, y);
            case MOVE_STAY:
                break;
        }
        return false;
    }

    // Add line x - y.
    //  1. Only the new line needs equal parents: pa(x) = pa(y) (first test).
    //  2. Arrows are unchanged.
    //  3. See lines_separated.
    //  4. A: adj(x) gains y, which could only cost an arrow i -> x the witness
    //     y in pa(i); but i in pa(x) = pa(y) makes y -> i -> y impossible.
    //     B: x -> j loses the witness y when y -> j, so re-check x -> j and
    //     y -> j for j in ch(x) & ch(y).
    //     D: ln(i) & pa(j) can turn into a clique when it holds x and y,
    //     i.e. i - x, i - y, x -> j, y -> j. Say i -> j then has no
    //     protection. Every parent a != i of j is adjacent to i (no B) but no
    //     child of i (no C): a parent of i, so of x, or a line neighbour of i,
    //     so in the clique ln'(i) & pa(j) beside x. Either way a is adjacent
    //     to x and no child of x (a - i gives pa(a) = pa(i) = pa(x)). So
    //     x -> j has no B, no C, no D (its line-neighbour parents lie in that
    //     clique plus i) and no A (pa(x) = pa(i)): re-checking x -> j finds it.
    //     C needs arrows only, which do not change.
    bool add_line(int x, int y) const {
        if (!lines_separated(x, y)) {
            return false;
        }
        r.link_line(x, y);
        const Word* ch_x = ch(x);
        const Word* ch_y = ch(y);
        Word* heads = g.scratch(0);
        for (int w = 0; w < words(); ++w) {
            heads[w] = ch_x[w] & ch_y[w];
        }
        // A parent of x and y that is not adjacent to j gives both A.
        keep_adjacent_to_all(heads, 1, pa(x));
        if (!all_bits(
                words(), [&](int w) { return heads[w]; },
                [&](int j) { return is_protected(x, j) && is_protected(y, j); })) {
            r.unlink_line(x, y);
            return false;
        }
        (*g.m_)[x][y] = (*g.m_)[y][x] = EDGE_LINE;
        return true;
    }

    // Remove line x - y.
    //  1, 2. Parents and arrows are unchanged; fewer lines need equal parents.
    //  3. Removing an edge of a chordal graph leaves a chordless cycle iff it
    //     is x - a - y - b with a, b common neighbours not joined to each
    //     other (the cycle's only chord was x - y, and splitting it there
    //     gives two chordless cycles of G, so two triangles). So the common
    //     line neighbours must be pairwise joined; among line neighbours
    //     every join is a line, so adjacency can be tested.
    //  4. Adjacency only shrinks, which helps A and B, and D sets containing
    //     x and y lose a join. The one loss: D of x -> j through y (y -> j),
    //     but then x -> j <- y with x, y no longer adjacent is B.
    bool remove_line(int x, int y) const {
        const Word* ln_x = ln(x);
        const Word* ln_y = ln(y);
        if (!pairwise_adjacent([&](int w) { return ln_x[w] & ln_y[w]; })) {
            return false;
        }
        r.unlink_line(x, y);
        (*g.m_)[x][y] = (*g.m_)[y][x] = EDGE_NONE;
        return true;
    }

    // Add arrow x -> y.
    //  1. y's parents gain x, so y must have no line neighbour (first test;
    //     a line neighbour of y cannot already have parent x).
    //  2. A new cycle passes through x -> y, so it exists iff y reaches x;
    //     when x is placed before y in the order it cannot.
    //  3. Lines are unchanged.
    //  4. x -> y itself needs protection. A: adj(y) gains x, costing i -> y
    //     the witness x for i in ch(x) & pa(y); adj(x) gains y, costing
    //     i -> x the witness y only when y -> i -> x, a cycle. B: y -> j
    //     loses the witness x for j in ch(x) & ch(y); x -> j loses y there
    //     too but gains C through x -> y -> j. C only gains. D: ln(i) & pa(j)
    //     only gains x, and never holds y (ln(y) is empty).
    bool add_arrow(int x, int y) const {
        r.link_arrow(x, y);
        const Word* ch_x = ch(x);
        const Word* pa_y = pa(y);
        const Word* ch_y = ch(y);
        const int* position = g.order_.position();
        const bool ordered = position[x] < position[y];
        const bool admissible = is_protected(x, y) &&
                                protected_into([&](int w) { return ch_x[w] & pa_y[w]; }, y) &&
                                protected_out_of(y, [&](int w) { return ch_x[w] & ch_y[w]; }) &&
                                (ordered || !g.order_.reaches(r, y, x, x, position[x]));
        if (!admissible) {
            r.unlink_arrow(x, y);
            return false;
        }
        if (!ordered) {
            g.order_.restore(r, x, y);
        }
        (*g.m_)[x][y] = EDGE_ARROW;
        return true;
    }

    // Add vee x -> z <- y.
    //  1. z's parents gain x and y, so z must have no line neighbour.
    //  2. A new cycle passes through z, so it exists iff z reaches x or y.
    //  3. Lines are unchanged.
    //  4. x -> z and y -> z protect each other by B. A: adj(z) gains x and
    //     y, costing i -> z the witness x or y. For i in ch(x) but not ch(y),
    //     y still protects i -> z: by B if y is not adjacent to i, by C if
    //     i -> y, and i - y is impossible (x -> i - y forces x -> y); so
    //     re-check i in ch(x) & ch(y) & pa(z). Losses at i -> x or i -> y
    //     need z -> i, a cycle. B: z -> j loses the witness x or y; for j in
    //     ch(x) but not ch(y), y still protects z -> j by A (pa(z) gains y):
    //     j -> y is a cycle y -> z -> j -> y and j - y is impossible as
    //     before; so re-check j in ch(x) & ch(y) & ch(z). x -> j and y -> j
    //     lose z there but gain C through z. C only gains. D sets only gain
    //     members and never hold z (ln(z) is empty).
    bool add_vee(int x, int y, int z) const {
        const int* position = g.order_.position();
        const int last_tail = std::max(position[x], position[y]);
        if (position[z] < last_tail && g.order_.reaches(r, z, x, y, last_tail)) {
            return false;
        }
        r.link_arrow(x, z);
        r.link_arrow(y, z);
        const Word* ch_x = ch(x);
        const Word* ch_y = ch(y);
        const Word* pa_z = pa(z);
        const Word* ch_z = ch(z);
        if (!protected_into([&](int w) { return ch_x[w] & ch_y[w] & pa_z[w]; }, z) ||
            !protected_out_of(z, [&](int w) { return ch_x[w] & ch_y[w] & ch_z[w]; })) {
            r.unlink_arrow(x, z);
            r.unlink_arrow(y, z);
            return false;
        }
        // One arrow at a time, each repair needing all other arrows in order.
        r.unlink_arrow(y, z);
        if (position[z] < position[x]) {
            g.order_.restore(r, x, z);
        }
        r.link_arrow(y, z);
        if (position[z] < position[y]) {
            g.order_.restore(r, y, z);
        }
        (*g.m_)[x][z] = (*g.m_)[y][z] = EDGE_ARROW;
        return true;
    }

    // Remove the arrows x -> h and y -> h: one arrow (remove arrow x -> y,
    // called with h = y and both tails x) or a vee x -> h <- y.
    //  1. h's parents lose the tails, which its line neighbours keep: h must
    //     have no line neighbour (first test).
    //  2, 3. Fewer arrows cannot close a cycle; lines are unchanged.
    //  One arrow x -> h:
    //  4. A: h -> j loses the witness x for j in ch(h) not adjacent to x.
    //     B: i -> h loses the witness x for i in pa(h) not adjacent to x;
    //     C: i -> x -> h is lost for i in pa(x); D: ln(i) & pa(h) loses x
    //     for i in ln(x); together i in pa(h) minus ch(x). x -> j loses C
    //     through x -> h -> j, but then x -> j <- h is B. Adjacency only
    //     shrinks, and no D set holds h (ln(h) is empty).
    //  A vee x -> h <- y:
    //  4. A: h -> j loses the witnesses x and y. When j is adjacent to one
    //     tail, say y, it stays protected: y -> j is B for h -> j once y and
    //     h are not adjacent, j -> y closes y -> h -> j -> y, and j - y with
    //     h -> j forces h -> y. So re-check j in ch(h) not adjacent to x or y.
    //     B, C, D at i -> h: i in ch(x) keeps A through x (x no longer
    //     adjacent to h), likewise ch(y); re-check the rest of pa(h).
    //     x -> j loses C through x -> h -> j, but x -> j <- h is then B.
    //     Adjacency only shrinks; no D set holds h.
    //  Both re-check the same sets, which for one arrow are those of x alone.
    bool remove_arrows_into(int h, int x, int y) const {
        r.unlink_arrow(x, h);
        r.unlink_arrow(y, h);
        const Word* ch_x = ch(x);
        const Word* ch_y = ch(y);
        const Word* adj_x = adj(x);
        const Word* adj_y = adj(y);
        const Word* pa_h = pa(h);
        const Word* ch_h = ch(h);
        Word* heads = g.scratch(0);
        Word* tails = g.scratch(1);
        for (int w = 0; w < words(); ++w) {
            heads[w] = ch_h[w] & ~adj_x[w] & ~adj_y[w];
            tails[w] = pa_h[w] & ~ch_x[w] & ~ch_y[w];
        }
        // A remaining parent of h gives h -> j A when not adjacent to j, and
        // i -> h B when not adjacent to i.
        keep_adjacent_to_all(heads, 2, pa_h);
        if (!protected_out_of(h, [&](int w) { return heads[w]; }) ||
            !protected_into([&](int w) { return tails[w]; }, h)) {
            r.link_arrow(x, h);
            r.link_arrow(y, h);
            return false;
        }
        (*g.m_)[x][h] = (*g.m_)[y][h] = EDGE_NONE;
        return true;
    }
};

IncrementalAdmissibility::IncrementalAdmissibility(EdgeMatrix& m)
    : m_(&m),
      rows_(m),
      order_(rows_),
      dispatch_words_(rows_.words()),
      scratch_(static_cast<std::size_t>(scratch_rows) * rows_.words(), Word{0}) {}

void IncrementalAdmissibility::reset(EdgeMatrix& m) {
    m_ = &m;
    rows_.assign(m);
    order_.assign(rows_);
    dispatch_words_ = rows_.words();
    scratch_.assign(static_cast<std::size_t>(scratch_rows) * rows_.words(), Word{0});
}

std::int64_t IncrementalAdmissibility::line_count() const {
    std::int64_t ends = 0;
    for (int v = 0; v < rows_.size(); ++v) {
        const Word* lines = rows_.row(VertexRows::LINES, v);
        for (int w = 0; w < rows_.words(); ++w) {
            ends += std::popcount(lines[w]);
        }
    }
    return ends / 2;
}

bool IncrementalAdmissibility::consistent_with_matrix() const {
    return rows_.consistent_with(*m_) && order_.consistent_with(rows_);
}

void IncrementalAdmissibility::check_after(bool kept) const {
    if constexpr (expensive_checks) {
        if (kept) {
            CHECK(consistent_with_matrix());
        }
    }
}

bool IncrementalAdmissibility::judge(MoveKind kind, int x, int y, int z) {
    const int v[3] = {x, y, z};
    // Rows of one to five words (n <= 320) get code of their own, with every
    // word loop unrolled; 0 selects the general code.
    auto run = [&](auto kernel) {
        return kernel.passes_first_test(kind, v) && kernel.finish(kind, x, y, z);
    };
    bool kept = false;
    switch (dispatch_words_) {
        case 1:
            kept = run(IncrementalKernel<1>{*this});
            break;
        case 2:
            kept = run(IncrementalKernel<2>{*this});
            break;
        case 3:
            kept = run(IncrementalKernel<3>{*this});
            break;
        case 4:
            kept = run(IncrementalKernel<4>{*this});
            break;
        case 5:
            kept = run(IncrementalKernel<5>{*this});
            break;
        default:
            kept = run(IncrementalKernel<0>{*this});
            break;
    }
    check_after(kept);
    return kept;
}

template <int FixedWords>
bool IncrementalAdmissibility::finish(MoveKind kind, int x, int y, int z) {
    DCHECK(FixedWords == 0 || FixedWords == rows_.words());
    if constexpr (debug_checks) {
        const int v[3] = {x, y, z};
        DCHECK(rows_hold_precondition(rows_, kind, v));
        DCHECK(IncrementalKernel<FixedWords>(*this).passes_first_test(kind, v));
    }
    const bool kept = IncrementalKernel<FixedWords>(*this).finish(kind, x, y, z);
    check_after(kept);
    return kept;
}

template bool IncrementalAdmissibility::finish<0>(MoveKind, int, int, int);
template bool IncrementalAdmissibility::finish<1>(MoveKind, int, int, int);
template bool IncrementalAdmissibility::finish<2>(MoveKind, int, int, int);
template bool IncrementalAdmissibility::finish<3>(MoveKind, int, int, int);
template bool IncrementalAdmissibility::finish<4>(MoveKind, int, int, int);
template bool IncrementalAdmissibility::finish<5>(MoveKind, int, int, int);

}  // namespace pellimor
