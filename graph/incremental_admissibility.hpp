#pragma once

// Incremental admissibility: the walk's fast judge. It keeps bitset rows of
// parents, children, line neighbours and adjacency beside the cells of an
// edge matrix and, given an admissible graph and one proposed walk move,
// decides whether the changed graph is admissible with exactly the answer
// is_admissible would give, looking only near the cells the move changes.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "graph/bit_rows.hpp"
#include "graph/edge_matrix.hpp"

namespace pellimor {

// The move logic, instantiated for rows of one to five words and for any width.
template <int FixedWords>
struct IncrementalKernel;

class IncrementalAdmissibility {
  public:
    // Starts from the graph in m, which must be admissible, and keeps m's
    // cells in step with every kept move. m must outlive this object.
    // Throws std::invalid_argument when the arrows of m contain a directed
    // cycle (no admissible graph has one).
    explicit IncrementalAdmissibility(EdgeMatrix& m);

    // One walk move each. The move's precondition is checked first (as the
    // walk defines it: distinct vertices, the cells it needs empty or holding
    // the edge it removes, non-adjacent vee tails). When it holds and the
    // changed graph is admissible, the change is applied to the bitsets and
    // to the matrix and the result is true; otherwise nothing changes and the
    // result is false. None of them allocates. The preconditions are inline
    // below, as most proposed moves end there.
    bool add_line(int x, int y);
    bool remove_line(int x, int y);
    bool add_arrow(int x, int y);          // x -> y
    bool remove_arrow(int x, int y);       // x -> y
    bool add_vee(int x, int y, int z);     // x -> z <- y
    bool remove_vee(int x, int y, int z);  // x -> z <- y

    // The walk's path through the same moves, in two steps, for rows of
    // FixedWords words (1 to 5, the width words() gives; 0 serves any width).
    // Moves are numbered as the walk draws them.
    enum Move : int {
        ADD_LINE = 1,
        REMOVE_LINE = 2,
        ADD_ARROW = 3,
        REMOVE_ARROW = 4,
        ADD_VEE = 5,
        REMOVE_VEE = 6,
    };
    int words() const { return words_; }
    // Bit `move` of the result is set when that move on x, y (and z, for the
    // vees) passes its precondition and the first, cheapest admissibility
    // test; bit 0 is clear. All six are computed without a branch, so that
    // a walk can screen a drawn move before it knows which kind to run. x, y
    // and z must be vertices, also for the moves that do not use z.
    template <int FixedWords>
    unsigned screen(int x, int y, int z) const;
    // The rest of `move`, once screen passed it: true when the change was
    // kept (applied to the rows and to the matrix), false when nothing
    // changed. Together with screen, exactly what the method of that move
    // above does.
    template <int FixedWords>
    bool finish(int move, int x, int y, int z);
    // screen<1> with vertices as the 64-bit numbers a walk draws them as,
    // which then index the rows and shift without a conversion.
    unsigned screen_one_word(std::uint64_t x, std::uint64_t y, std::uint64_t z) const;
    // Bit `move` of screen<1>(x, y, z) alone, for a move drawn as 0 (stay,
    // never screened in) to 6: a walk that knows the drawn kind tests only
    // that kind's precondition.
    bool screen_move_one_word(std::uint64_t move, std::uint64_t x, std::uint64_t y,
                              std::uint64_t z) const;

    // True when the bitset rows describe exactly the graph in the matrix and
    // the kept vertex order is a topological order of its arrows. For tests;
    // costs O(n^2).
    bool consistent_with_matrix() const;

    // For tests: sends every later move through the code for rows of any
    // width, which otherwise serves only n > 320 (rows of up to five words
    // have code of their own).
    void use_general_word_loops() { dispatch_words_ = 0; }

  private:
    template <int FixedWords>
    friend struct IncrementalKernel;

    // The four rows of a vertex, stored side by side.
    enum RowKind : int { PARENTS = 0, CHILDREN = 1, LINES = 2, ADJACENT = 3, ROW_KINDS = 4 };

    const Word* row(RowKind kind, int v) const {
        return rows_.data() + (static_cast<std::size_t>(v) * ROW_KINDS + kind) * words_;
    }
    bool has(RowKind kind, int v, int u) const { return test_bit(row(kind, v), u); }

    // The rows of every vertex of m, laid out as rows_ holds them.
    static std::vector<Word> rows_of(const EdgeMatrix& m, int words);

    // The rest of each move, once its precondition holds.
    bool judge_add_line(int x, int y);
    bool judge_remove_line(int x, int y);
    bool judge_add_arrow(int x, int y);
    bool judge_remove_arrow(int x, int y);
    bool judge_add_vee(int x, int y, int z);
    bool judge_remove_vee(int x, int y, int z);

    EdgeMatrix* m_;
    int n_;
    int words_;
    // Selects the code for the move methods: words_, or 0 for the general one.
    int dispatch_words_;
    // Row kind k of vertex v starts at word (v * ROW_KINDS + k) * words_.
    // ADJACENT includes v itself, so "not adjacent" also means "distinct".
    std::vector<Word> rows_;
    // A topological order of the arrows: position_[v] is v's place in it and
    // vertex_at_[p] the vertex in place p.
    std::vector<int> position_;
    std::vector<int> vertex_at_;

    // Scratch for the searches and re-checks, sized in the constructor: rows
    // of words_ words, cleared by each user before use, and vertex lists.
    static constexpr int scratch_rows = 5;
    std::vector<Word> scratch_;
    std::vector<int> stack_forward_;
    std::vector<int> stack_backward_;
    std::vector<int> places_;

    Word* scratch(int k) { return scratch_.data() + static_cast<std::size_t>(k) * words_; }
};

// ADJACENT holds the vertex itself, so one bit test covers "distinct and not
// adjacent"; a child or a line neighbour is never the vertex itself.

inline bool IncrementalAdmissibility::add_line(int x, int y) {
    return !has(ADJACENT, x, y) && judge_add_line(x, y);
}

inline bool IncrementalAdmissibility::remove_line(int x, int y) {
    return has(LINES, x, y) && judge_remove_line(x, y);
}

inline bool IncrementalAdmissibility::add_arrow(int x, int y) {
    return !has(ADJACENT, x, y) && judge_add_arrow(x, y);
}

inline bool IncrementalAdmissibility::remove_arrow(int x, int y) {
    return has(CHILDREN, x, y) && judge_remove_arrow(x, y);
}

inline bool IncrementalAdmissibility::add_vee(int x, int y, int z) {
    return !has(ADJACENT, x, y) && !has(ADJACENT, x, z) && !has(ADJACENT, y, z) &&
           judge_add_vee(x, y, z);
}

inline bool IncrementalAdmissibility::remove_vee(int x, int y, int z) {
    return !has(ADJACENT, x, y) && has(CHILDREN, x, z) && has(CHILDREN, y, z) &&
           judge_remove_vee(x, y, z);
}

// The bit of vertex u in row `kind` of the vertex whose rows start at
// `rows`, as 0 or 1; the rows are `words` words each.
// With one word per row (FixedWords 1) the word is always the first.
template <int FixedWords>
inline unsigned row_bit(const Word* rows, int words, int kind, int u) {
    const auto bit = static_cast<unsigned>(u);
    const unsigned word = FixedWords == 1 ? 0 : bit / word_bits;
    return static_cast<unsigned>(rows[kind * words + word] >> (bit % word_bits)) & 1u;
}

// screen for rows of one word: the same six bits from nine row words, with
// few values live at once (the walk's loop keeps its own in registers around
// it). Vertex numbers are unsigned, so that they index and shift without a
// sign extension.
inline unsigned IncrementalAdmissibility::screen_one_word(std::uint64_t x, std::uint64_t y,
                                                          std::uint64_t z) const {
    const Word* rows_x = rows_.data() + x * ROW_KINDS;
    const Word* rows_y = rows_.data() + y * ROW_KINDS;
    const Word* rows_z = rows_.data() + z * ROW_KINDS;
    // ADJACENT holds the vertex itself: apart means distinct and not adjacent.
    const unsigned apart_xy = static_cast<unsigned>(~rows_x[ADJACENT] >> y) & 1u;
    const unsigned free_y = rows_y[LINES] == 0;
    // The vee tests at z: for a new vee neither tail adjacent to z, for a
    // removed one both tails parents of z; both need z free of lines.
    const unsigned vees =
        ((static_cast<unsigned>(~(rows_x[ADJACENT] | rows_y[ADJACENT]) >> z) & 1u) << ADD_VEE |
         (static_cast<unsigned>((rows_x[CHILDREN] & rows_y[CHILDREN]) >> z) & 1u) << REMOVE_VEE) &
        -static_cast<unsigned>(rows_z[LINES] == 0);
    // The moves that need x and y apart, then the two that need an edge.
    unsigned passed = (static_cast<unsigned>(rows_x[PARENTS] == rows_y[PARENTS]) << ADD_LINE |
                       free_y << ADD_ARROW | vees) &
                      -apart_xy;
    passed |= (static_cast<unsigned>(rows_x[LINES] >> y) & 1u) << REMOVE_LINE;
    passed |= (static_cast<unsigned>(rows_x[CHILDREN] >> y) & free_y) << REMOVE_ARROW;
    return passed;
}

// screen_move_one_word's tests for each move, as the same three tests with
// other rows and masks, so that a move selects its own with no branch:
//   bit y of row a of x, flipped by a_flip;
//   bit z of row b of x and of y, both flipped by b_flip, or b_pass;
//   (parents of x, masked by parents_mask) ^ (row w of v, masked by w_mask)
//   is empty, where v is z for the vees and y otherwise.
// Flips and masks are 0 or -1 (all bits, once widened to a word).
struct OneWordScreen {
    std::uint8_t a_row;
    std::int8_t a_flip;
    std::uint8_t b_row;
    std::int8_t b_flip;
    std::int8_t b_pass;
    std::int8_t parents_mask;
    std::uint8_t w_row;
    std::int8_t w_mask;
    std::int8_t on_z;
};

inline bool IncrementalAdmissibility::screen_move_one_word(std::uint64_t move, std::uint64_t x,
                                                           std::uint64_t y, std::uint64_t z) const {
    // ADJACENT holds the vertex itself: "not adjacent" is "apart", and a
    // vertex's own adjacency row is never empty, which fails the stay.
    static constexpr OneWordScreen screens[7] = {
        {ADJACENT, 0, ADJACENT, 0, -1, 0, ADJACENT, -1, 0},   // stay: fails
        {ADJACENT, -1, ADJACENT, 0, -1, -1, PARENTS, -1, 0},  // add line: pa(x) = pa(y)
        {LINES, 0, ADJACENT, 0, -1, 0, LINES, 0, 0},          // remove line
        {ADJACENT, -1, ADJACENT, 0, -1, 0, LINES, -1, 0},     // add arrow: no line at y
        {CHILDREN, 0, ADJACENT, 0, -1, 0, LINES, -1, 0},      // remove arrow
        {ADJACENT, -1, ADJACENT, -1, 0, 0, LINES, -1, -1},    // add vee: z apart from both
        {ADJACENT, -1, CHILDREN, 0, 0, 0, LINES, -1, -1},     // remove vee: z child of both
    };
    const OneWordScreen& s = screens[move];
    const Word* rows = rows_.data();
    const Word* rows_x = rows + x * ROW_KINDS;
    const Word* rows_y = rows + y * ROW_KINDS;
    // y ^ (y ^ z) selects z without a branch on the (unpredictable) move.
    const std::uint64_t v = y ^ ((y ^ z) & static_cast<std::uint64_t>(s.on_z));
    const Word a = rows_x[s.a_row] ^ static_cast<Word>(s.a_flip);
    const Word b = ((rows_x[s.b_row] ^ static_cast<Word>(s.b_flip)) &
                    (rows_y[s.b_row] ^ static_cast<Word>(s.b_flip))) |
                   static_cast<Word>(s.b_pass);
    const Word w = (rows_x[PARENTS] & static_cast<Word>(s.parents_mask)) ^
                   (rows[v * ROW_KINDS + s.w_row] & static_cast<Word>(s.w_mask));
    return ((a >> y) & (b >> z) & static_cast<Word>(w == 0)) & 1u;
}

// The first tests are those the moves' code starts with: equal parents for a
// new line, and no line at the head for the arrow and vee moves (whose
// parents change).
template <int FixedWords>
inline unsigned IncrementalAdmissibility::screen(int x, int y, int z) const {
    if constexpr (FixedWords == 1) {
        return screen_one_word(static_cast<unsigned>(x), static_cast<unsigned>(y),
                               static_cast<unsigned>(z));
    }
    const int nw = FixedWords > 0 ? FixedWords : words_;
    const std::size_t stride = static_cast<std::size_t>(ROW_KINDS) * nw;
    const Word* rows_x = rows_.data() + static_cast<std::size_t>(x) * stride;
    const Word* rows_y = rows_.data() + static_cast<std::size_t>(y) * stride;
    const Word* rows_z = rows_.data() + static_cast<std::size_t>(z) * stride;
    Word parents_differ = 0;
    Word lines_at_y = 0;
    Word lines_at_z = 0;
    for (int w = 0; w < nw; ++w) {
        parents_differ |= rows_x[PARENTS * nw + w] ^ rows_y[PARENTS * nw + w];
        lines_at_y |= rows_y[LINES * nw + w];
        lines_at_z |= rows_z[LINES * nw + w];
    }
    const unsigned same_parents = parents_differ == 0;
    const unsigned free_y = lines_at_y == 0;
    const unsigned free_z = lines_at_z == 0;
    // ADJACENT holds the vertex itself: apart means distinct and not adjacent.
    const unsigned apart_xy = row_bit<FixedWords>(rows_x, nw, ADJACENT, y) ^ 1u;
    const unsigned apart_xz = row_bit<FixedWords>(rows_x, nw, ADJACENT, z) ^ 1u;
    const unsigned apart_yz = row_bit<FixedWords>(rows_y, nw, ADJACENT, z) ^ 1u;
    const unsigned line_xy = row_bit<FixedWords>(rows_x, nw, LINES, y);
    const unsigned arrow_xy = row_bit<FixedWords>(rows_x, nw, CHILDREN, y);
    const unsigned arrow_xz = row_bit<FixedWords>(rows_x, nw, CHILDREN, z);
    const unsigned arrow_yz = row_bit<FixedWords>(rows_y, nw, CHILDREN, z);
    return (apart_xy & same_parents) << ADD_LINE | line_xy << REMOVE_LINE |
           (apart_xy & free_y) << ADD_ARROW | (arrow_xy & free_y) << REMOVE_ARROW |
           (apart_xy & apart_xz & apart_yz & free_z) << ADD_VEE |
           (apart_xy & arrow_xz & arrow_yz & free_z) << REMOVE_VEE;
}

}  // namespace pellimor
