#include "graph/incremental_admissibility.hpp"

#include <algorithm>
#include <stdexcept>

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
    Word* const rows;
    const int width;

    explicit IncrementalKernel(Graph& graph)
        : g(graph), rows(graph.rows_.data()), width(graph.words_) {}

    int words() const {
        if constexpr (FixedWords > 0) {
            return FixedWords;
        } else {
            return width;
        }
    }

    // A vertex's rows lie side by side, so the four rows of one vertex share
    // one multiplication.
    Word* row(int kind, int v) const {
        return rows + static_cast<std::size_t>(v) * (Graph::ROW_KINDS * words()) + kind * words();
    }
    Word* pa(int v) const { return row(Graph::PARENTS, v); }
    Word* ch(int v) const { return row(Graph::CHILDREN, v); }
    Word* ln(int v) const { return row(Graph::LINES, v); }
    Word* adj(int v) const { return row(Graph::ADJACENT, v); }

    void link_arrow(int x, int y) const {
        set_bit(ch(x), y);
        set_bit(pa(y), x);
        set_bit(adj(x), y);
        set_bit(adj(y), x);
    }
    void unlink_arrow(int x, int y) const {
        clear_bit(ch(x), y);
        clear_bit(pa(y), x);
        clear_bit(adj(x), y);
        clear_bit(adj(y), x);
    }
    void link_line(int x, int y) const {
        set_bit(ln(x), y);
        set_bit(ln(y), x);
        set_bit(adj(x), y);
        set_bit(adj(y), x);
    }
    void unlink_line(int x, int y) const {
        clear_bit(ln(x), y);
        clear_bit(ln(y), x);
        clear_bit(adj(x), y);
        clear_bit(adj(y), x);
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
        return !all_bits(
            words(), [&](int w) { return ln_i[w] & pa_j[w]; },
            [&](int k) {
                const Word* adj_k = adj(k);
                return !any_word(words(), [&](int w) { return ln_i[w] & pa_j[w] & ~adj_k[w]; });
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
                for (int r = 0; r < count; ++r) {
                    for (int w = 0; w < nw; ++w) {
                        sets[r * nw + w] &= adj_p[w];
                        left |= sets[r * nw + w];
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

    // Whether `from` reaches t1 or t2 by arrows, searching only vertices
    // placed at or before `limit` in the topological order: a vertex placed
    // later cannot reach a target placed at or before limit.
    bool reaches(int from, int t1, int t2, int limit) const {
        const int* position = g.position_.data();
        Word* seen = g.scratch(0);
        std::fill_n(seen, words(), Word{0});
        int* stack = g.stack_forward_.data();
        int size = 0;
        set_bit(seen, from);
        stack[size++] = from;
        bool found = false;
        while (size != 0 && !found) {
            const int v = stack[--size];
            const Word* ch_v = ch(v);
            found = !all_bits(
                words(), [&](int w) { return ch_v[w] & ~seen[w]; },
                [&](int u) {
                    if (u == t1 || u == t2) {
                        return false;
                    }
                    if (position[u] < limit) {
                        set_bit(seen, u);
                        stack[size++] = u;
                    }
                    return true;
                });
        }
        return found;
    }

    // Repairs the topological order after the arrow x -> y was linked with y
    // placed before x and no cycle made (dynamic topological sort of Pearce
    // and Kelly). Only vertices placed between y and x move: those y reaches
    // there (forward) go after those that reach x there (backward), into the
    // same set of places, each group keeping its own relative order.
    void restore_order(int x, int y) const {
        int* position = g.position_.data();
        int* vertex_at = g.vertex_at_.data();
        const int lower = position[y];
        const int upper = position[x];
        // The vertex lists double as breadth-first queues.
        auto collect = [&](int start, Word* seen, int* list, auto next, auto inside) {
            int size = 0;
            set_bit(seen, start);
            list[size++] = start;
            for (int k = 0; k < size; ++k) {
                const Word* row_v = next(list[k]);
                all_bits(
                    words(), [&](int w) { return row_v[w] & ~seen[w]; },
                    [&](int u) {
                        if (inside(position[u])) {
                            set_bit(seen, u);
                            list[size++] = u;
                        }
                        return true;
                    });
            }
            return size;
        };
        std::fill_n(g.scratch(0), 2 * words(), Word{0});
        int* forward = g.stack_forward_.data();
        int* backward = g.stack_backward_.data();
        const int n_forward = collect(
            y, g.scratch(0), forward, [&](int v) { return ch(v); },
            [&](int p) { return p < upper; });
        const int n_backward = collect(
            x, g.scratch(1), backward, [&](int v) { return pa(v); },
            [&](int p) { return p > lower; });

        auto by_position = [&](int a, int b) { return position[a] < position[b]; };
        std::sort(forward, forward + n_forward, by_position);
        std::sort(backward, backward + n_backward, by_position);
        int* places = g.places_.data();
        int n_places = 0;
        int f = 0;
        int b = 0;
        while (f < n_forward || b < n_backward) {
            if (b == n_backward ||
                (f < n_forward && position[forward[f]] < position[backward[b]])) {
                places[n_places++] = position[forward[f++]];
            } else {
                places[n_places++] = position[backward[b++]];
            }
        }
        int next = 0;
        for (int k = 0; k < n_backward; ++k) {
            position[backward[k]] = places[next];
            vertex_at[places[next++]] = backward[k];
        }
        for (int k = 0; k < n_forward; ++k) {
            position[forward[k]] = places[next];
            vertex_at[places[next++]] = forward[k];
        }
    }

    // The moves, each entered once its precondition holds (tested inline in
    // the header).

    // Add line x - y.
    //  1. Only the new line needs equal parents: pa(x) = pa(y).
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
        const Word* pa_x = pa(x);
        const Word* pa_y = pa(y);
        return !any_word(words(), [&](int w) { return pa_x[w] ^ pa_y[w]; }) &&
               add_line_screened(x, y);
    }
    // The rest, once pa(x) = pa(y) is known.
    bool add_line_screened(int x, int y) const {
        const Word* pa_x = pa(x);
        if (!lines_separated(x, y)) {
            return false;
        }
        link_line(x, y);
        const Word* ch_x = ch(x);
        const Word* ch_y = ch(y);
        Word* heads = g.scratch(0);
        for (int w = 0; w < words(); ++w) {
            heads[w] = ch_x[w] & ch_y[w];
        }
        // A parent of x and y that is not adjacent to j gives both A.
        keep_adjacent_to_all(heads, 1, pa_x);
        if (!all_bits(
                words(), [&](int w) { return heads[w]; },
                [&](int j) { return is_protected(x, j) && is_protected(y, j); })) {
            unlink_line(x, y);
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
    bool remove_line(int x, int y) const { return remove_line_screened(x, y); }
    bool remove_line_screened(int x, int y) const {
        const Word* ln_x = ln(x);
        const Word* ln_y = ln(y);
        const bool common_joined = all_bits(
            words(), [&](int w) { return ln_x[w] & ln_y[w]; },
            [&](int k) {
                const Word* adj_k = adj(k);
                return !any_word(words(), [&](int w) { return ln_x[w] & ln_y[w] & ~adj_k[w]; });
            });
        if (!common_joined) {
            return false;
        }
        unlink_line(x, y);
        (*g.m_)[x][y] = (*g.m_)[y][x] = EDGE_NONE;
        return true;
    }

    // Add arrow x -> y.
    //  1. y's parents gain x, so y must have no line neighbour (a line
    //     neighbour of y cannot already have parent x).
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
        return !any_bit(ln(y), words()) && add_arrow_screened(x, y);
    }
    // The rest, once ln(y) is known to be empty.
    bool add_arrow_screened(int x, int y) const {
        link_arrow(x, y);
        const Word* ch_x = ch(x);
        const Word* pa_y = pa(y);
        const Word* ch_y = ch(y);
        const int* position = g.position_.data();
        const bool ordered = position[x] < position[y];
        const bool admissible = is_protected(x, y) &&
                                protected_into([&](int w) { return ch_x[w] & pa_y[w]; }, y) &&
                                protected_out_of(y, [&](int w) { return ch_x[w] & ch_y[w]; }) &&
                                (ordered || !reaches(y, x, x, position[x]));
        if (!admissible) {
            unlink_arrow(x, y);
            return false;
        }
        if (!ordered) {
            restore_order(x, y);
        }
        (*g.m_)[x][y] = EDGE_ARROW;
        return true;
    }

    // Remove arrow x -> y.
    //  1. y's parents lose x, which its line neighbours keep: y must have
    //     no line neighbour.
    //  2, 3. Fewer arrows cannot close a cycle; lines are unchanged.
    //  4. A: y -> j loses the witness x for j in ch(y) not adjacent to x.
    //     B: i -> y loses the witness x for i in pa(y) not adjacent to x;
    //     C: i -> x -> y is lost for i in pa(x); D: ln(i) & pa(y) loses x
    //     for i in ln(x); together i in pa(y) minus ch(x). x -> j loses C
    //     through x -> y -> j, but then x -> j <- y is B. Adjacency only
    //     shrinks, and no D set holds y (ln(y) is empty).
    bool remove_arrow(int x, int y) const {
        return !any_bit(ln(y), words()) && remove_arrow_screened(x, y);
    }
    // The rest, once ln(y) is known to be empty.
    bool remove_arrow_screened(int x, int y) const {
        unlink_arrow(x, y);
        const Word* ch_x = ch(x);
        const Word* adj_x = adj(x);
        const Word* pa_y = pa(y);
        const Word* ch_y = ch(y);
        Word* heads = g.scratch(0);
        Word* tails = g.scratch(1);
        for (int w = 0; w < words(); ++w) {
            heads[w] = ch_y[w] & ~adj_x[w];
            tails[w] = pa_y[w] & ~ch_x[w];
        }
        // A remaining parent of y gives y -> j A when not adjacent to j, and
        // i -> y B when not adjacent to i.
        keep_adjacent_to_all(heads, 2, pa_y);
        if (!protected_out_of(y, [&](int w) { return heads[w]; }) ||
            !protected_into([&](int w) { return tails[w]; }, y)) {
            link_arrow(x, y);
            return false;
        }
        (*g.m_)[x][y] = EDGE_NONE;
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
        return !any_bit(ln(z), words()) && add_vee_screened(x, y, z);
    }
    // The rest, once ln(z) is known to be empty.
    bool add_vee_screened(int x, int y, int z) const {
        const int* position = g.position_.data();
        const int last_tail = std::max(position[x], position[y]);
        if (position[z] < last_tail && reaches(z, x, y, last_tail)) {
            return false;
        }
        link_arrow(x, z);
        link_arrow(y, z);
        const Word* ch_x = ch(x);
        const Word* ch_y = ch(y);
        const Word* pa_z = pa(z);
        const Word* ch_z = ch(z);
        if (!protected_into([&](int w) { return ch_x[w] & ch_y[w] & pa_z[w]; }, z) ||
            !protected_out_of(z, [&](int w) { return ch_x[w] & ch_y[w] & ch_z[w]; })) {
            unlink_arrow(x, z);
            unlink_arrow(y, z);
            return false;
        }
        // One arrow at a time, each repair needing all other arrows in order.
        unlink_arrow(y, z);
        if (position[z] < position[x]) {
            restore_order(x, z);
        }
        link_arrow(y, z);
        if (position[z] < position[y]) {
            restore_order(y, z);
        }
        (*g.m_)[x][z] = (*g.m_)[y][z] = EDGE_ARROW;
        return true;
    }

    // Remove vee x -> z <- y.
    //  1. z's parents lose x and y, so z must have no line neighbour.
    //  2, 3. As for remove arrow.
    //  4. A: z -> j loses the witnesses x and y. When j is adjacent to one
    //     tail, say y, it stays protected: y -> j is B for z -> j once y and
    //     z are not adjacent, j -> y closes y -> z -> j -> y, and j - y with
    //     z -> j forces z -> y. So re-check j in ch(z) not adjacent to x or y.
    //     B, C, D at i -> z: i in ch(x) keeps A through x (x no longer
    //     adjacent to z), likewise ch(y); re-check the rest of pa(z).
    //     x -> j loses C through x -> z -> j, but x -> j <- z is then B.
    //     Adjacency only shrinks; no D set holds z.
    bool remove_vee(int x, int y, int z) const {
        return !any_bit(ln(z), words()) && remove_vee_screened(x, y, z);
    }
    // The rest, once ln(z) is known to be empty.
    bool remove_vee_screened(int x, int y, int z) const {
        unlink_arrow(x, z);
        unlink_arrow(y, z);
        const Word* ch_x = ch(x);
        const Word* ch_y = ch(y);
        const Word* adj_x = adj(x);
        const Word* adj_y = adj(y);
        const Word* pa_z = pa(z);
        const Word* ch_z = ch(z);
        Word* heads = g.scratch(0);
        Word* tails = g.scratch(1);
        for (int w = 0; w < words(); ++w) {
            heads[w] = ch_z[w] & ~adj_x[w] & ~adj_y[w];
            tails[w] = pa_z[w] & ~ch_x[w] & ~ch_y[w];
        }
        // As for remove arrow, through the remaining parents of z.
        keep_adjacent_to_all(heads, 2, pa_z);
        if (!protected_out_of(z, [&](int w) { return heads[w]; }) ||
            !protected_into([&](int w) { return tails[w]; }, z)) {
            link_arrow(x, z);
            link_arrow(y, z);
            return false;
        }
        (*g.m_)[x][z] = (*g.m_)[y][z] = EDGE_NONE;
        return true;
    }
};

std::vector<Word> IncrementalAdmissibility::rows_of(const EdgeMatrix& m, int words) {
    const int n = m.size();
    std::vector<Word> rows(static_cast<std::size_t>(n) * ROW_KINDS * words, Word{0});
    auto row = [&](RowKind kind, int v) {
        return rows.data() + (static_cast<std::size_t>(v) * ROW_KINDS + kind) * words;
    };
    for (int r = 0; r < n; ++r) {
        set_bit(row(ADJACENT, r), r);
        for (int c = 0; c < n; ++c) {
            if (m[r][c] == EDGE_ARROW) {
                set_bit(row(CHILDREN, r), c);
                set_bit(row(PARENTS, c), r);
            } else if (m[r][c] == EDGE_LINE) {
                set_bit(row(LINES, r), c);
            }
            if (m[r][c] != EDGE_NONE) {
                set_bit(row(ADJACENT, r), c);
                set_bit(row(ADJACENT, c), r);
            }
        }
    }
    return rows;
}

IncrementalAdmissibility::IncrementalAdmissibility(EdgeMatrix& m)
    : m_(&m),
      n_(m.size()),
      words_(words_for(n_)),
      dispatch_words_(words_),
      rows_(rows_of(m, words_)),
      position_(n_),
      vertex_at_(n_),
      scratch_(static_cast<std::size_t>(scratch_rows) * words_, Word{0}),
      stack_forward_(n_),
      stack_backward_(n_),
      places_(n_) {
    // Kahn's algorithm: place a vertex once all its parents are placed.
    std::vector<int> parents_left(n_, 0);
    int placed = 0;
    for (int v = 0; v < n_; ++v) {
        for (int p = 0; p < n_; ++p) {
            parents_left[v] += has(PARENTS, v, p);
        }
        if (parents_left[v] == 0) {
            vertex_at_[placed++] = v;
        }
    }
    for (int k = 0; k < placed; ++k) {
        const int v = vertex_at_[k];
        position_[v] = k;
        const Word* children = row(CHILDREN, v);
        all_bits(
            words_, [&](int w) { return children[w]; },
            [&](int c) {
                if (--parents_left[c] == 0) {
                    vertex_at_[placed++] = c;
                }
                return true;
            });
    }
    if (placed != n_) {
        throw std::invalid_argument(
            "IncrementalAdmissibility: the arrows contain a directed cycle");
    }
}

bool IncrementalAdmissibility::consistent_with_matrix() const {
    const EdgeMatrix& m = *m_;
    if (m.size() != n_) {
        return false;
    }
    // Each word of each row against the cells it stands for; bits past n-1
    // must be clear.
    for (int v = 0; v < n_; ++v) {
        for (int w = 0; w < words_; ++w) {
            Word expected[ROW_KINDS] = {};
            for (int c = w * word_bits; c < std::min(n_, (w + 1) * word_bits); ++c) {
                expected[PARENTS] |= m[c][v] == EDGE_ARROW ? bit_of(c) : 0;
                expected[CHILDREN] |= m[v][c] == EDGE_ARROW ? bit_of(c) : 0;
                expected[LINES] |= m[v][c] == EDGE_LINE ? bit_of(c) : 0;
                expected[ADJACENT] |= c == v || adjacent(m, v, c) ? bit_of(c) : 0;
            }
            for (int kind = 0; kind < ROW_KINDS; ++kind) {
                if (row(static_cast<RowKind>(kind), v)[w] != expected[kind]) {
                    return false;
                }
            }
        }
    }
    for (int v = 0; v < n_; ++v) {
        if (position_[v] < 0 || position_[v] >= n_ || vertex_at_[position_[v]] != v) {
            return false;
        }
        for (int c = 0; c < n_; ++c) {
            if (m[v][c] == EDGE_ARROW && position_[v] >= position_[c]) {
                return false;
            }
        }
    }
    return true;
}

namespace {

// Rows of one to five words (n <= 320) get code of their own, with every word
// loop unrolled; 0 selects the general code.
template <typename Move>
bool dispatch(IncrementalAdmissibility& graph, int words, Move move) {
    switch (words) {
        case 1:
            return move(IncrementalKernel<1>{graph});
        case 2:
            return move(IncrementalKernel<2>{graph});
        case 3:
            return move(IncrementalKernel<3>{graph});
        case 4:
            return move(IncrementalKernel<4>{graph});
        case 5:
            return move(IncrementalKernel<5>{graph});
        default:
            return move(IncrementalKernel<0>{graph});
    }
}

}  // namespace

bool IncrementalAdmissibility::judge_add_line(int x, int y) {
    return dispatch(*this, dispatch_words_, [&](auto kernel) { return kernel.add_line(x, y); });
}

bool IncrementalAdmissibility::judge_remove_line(int x, int y) {
    return dispatch(*this, dispatch_words_, [&](auto kernel) { return kernel.remove_line(x, y); });
}

bool IncrementalAdmissibility::judge_add_arrow(int x, int y) {
    return dispatch(*this, dispatch_words_, [&](auto kernel) { return kernel.add_arrow(x, y); });
}

bool IncrementalAdmissibility::judge_remove_arrow(int x, int y) {
    return dispatch(*this, dispatch_words_, [&](auto kernel) { return kernel.remove_arrow(x, y); });
}

bool IncrementalAdmissibility::judge_add_vee(int x, int y, int z) {
    return dispatch(*this, dispatch_words_, [&](auto kernel) { return kernel.add_vee(x, y, z); });
}

bool IncrementalAdmissibility::judge_remove_vee(int x, int y, int z) {
    return dispatch(*this, dispatch_words_,
                    [&](auto kernel) { return kernel.remove_vee(x, y, z); });
}

template <int FixedWords>
bool IncrementalAdmissibility::finish(int move, int x, int y, int z) {
    const IncrementalKernel<FixedWords> kernel(*this);
    switch (move) {
        case ADD_LINE:
            return kernel.add_line_screened(x, y);
        case REMOVE_LINE:
            return kernel.remove_line_screened(x, y);
        case ADD_ARROW:
            return kernel.add_arrow_screened(x, y);
        case REMOVE_ARROW:
            return kernel.remove_arrow_screened(x, y);
        case ADD_VEE:
            return kernel.add_vee_screened(x, y, z);
        case REMOVE_VEE:
            return kernel.remove_vee_screened(x, y, z);
        default:
            return false;
    }
}

template bool IncrementalAdmissibility::finish<0>(int, int, int, int);
template bool IncrementalAdmissibility::finish<1>(int, int, int, int);
template bool IncrementalAdmissibility::finish<2>(int, int, int, int);
template bool IncrementalAdmissibility::finish<3>(int, int, int, int);
template bool IncrementalAdmissibility::finish<4>(int, int, int, int);
template bool IncrementalAdmissibility::finish<5>(int, int, int, int);

}  // namespace pellimor
