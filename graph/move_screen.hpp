#pragma once

// The walk's screens: an optimisation of the walk's loop, not a judge of
// their own. A screen tells, without a branch, whether a drawn move passes
// its precondition (move_rules) and its first test (first_test_of), so that
// the walk can throw most moves away before it branches on their kind; the
// moves that pass go on to IncrementalAdmissibility::finish. Both screens are
// derived from move_rules and first_test_of.

#include <cstddef>
#include <cstdint>
#include <utility>

#include "graph/bit_rows.hpp"
#include "graph/incremental_admissibility.hpp"
#include "graph/moves.hpp"
#include "graph/vertex_rows.hpp"
#include "util/check.hpp"

namespace pellimor {

// The bit of vertex u in row `kind` of the vertex whose rows start at
// `rows`, as 0 or 1; the rows are `words` words each. With one word per row
// (FixedWords 1) the word is always the first.
template <int FixedWords>
inline unsigned row_bit(const Word* rows, int words, int kind, int u) {
    const auto bit = static_cast<unsigned>(u);
    const unsigned word = FixedWords == 1 ? 0 : bit / word_bits;
    return static_cast<unsigned>(rows[kind * words + word] >> (bit % word_bits)) & 1u;
}

// The row that holds a relation's pairs, and whether it holds them flipped.
constexpr VertexRows::RowKind row_of_relation(PairRelation relation) {
    return relation == PAIR_APART  ? VertexRows::ADJACENT
           : relation == PAIR_LINE ? VertexRows::LINES
                                   : VertexRows::CHILDREN;
}

// Bit k of the result (k = 1 .. 6, a MoveKind) is set when that move on x,
// y (and z, for the vees) passes its precondition and first test; bit 0 is
// clear. Rows of FixedWords words (1 to 5, rows.words()), or 0 for any width.
// x, y and z must be vertices, also for the moves that do not use z.
template <int FixedWords>
inline unsigned screen_moves(const VertexRows& rows, int x, int y, int z) {
    DCHECK(FixedWords == 0 || FixedWords == rows.words());
    DCHECK(x >= 0 && x < rows.size() && y >= 0 && y < rows.size() && z >= 0 && z < rows.size());
    const int nw = FixedWords > 0 ? FixedWords : rows.words();
    const std::size_t stride = static_cast<std::size_t>(VertexRows::ROW_KINDS) * nw;
    const int v[3] = {x, y, z};
    const Word* at[3] = {rows.data() + static_cast<std::size_t>(x) * stride,
                         rows.data() + static_cast<std::size_t>(y) * stride,
                         rows.data() + static_cast<std::size_t>(z) * stride};
    // The first tests' inputs: lines at each vertex, parents of x against y.
    Word lines_at[3] = {};
    Word parents_differ = 0;
    for (int w = 0; w < nw; ++w) {
        for (int k = 0; k < 3; ++k) {
            lines_at[k] |= at[k][VertexRows::LINES * nw + w];
        }
        parents_differ |=
            at[VERTEX_X][VertexRows::PARENTS * nw + w] ^ at[VERTEX_Y][VertexRows::PARENTS * nw + w];
    }
    auto bit_of_kind = [&]<int Kind>() -> unsigned {
        constexpr MoveRule rule = move_rules[Kind];
        unsigned bit = 1u;
        [&]<std::size_t... R>(std::index_sequence<R...>) {
            ((R < static_cast<std::size_t>(rule.requirement_count)
                  ? (bit &= row_bit<FixedWords>(at[rule.requirements[R].a], nw,
                                                row_of_relation(rule.requirements[R].relation),
                                                v[rule.requirements[R].b]) ^
                            (rule.requirements[R].relation == PAIR_APART ? 1u : 0u))
                  : 0u),
             ...);
        }
        (std::make_index_sequence<3>{});
        constexpr FirstTest first = first_test_of(static_cast<MoveKind>(Kind));
        if constexpr (first == FIRST_TEST_SAME_PARENTS) {
            static_assert(rule.edges[0].a == VERTEX_X && rule.edges[0].b == VERTEX_Y);
            bit &= static_cast<unsigned>(parents_differ == 0);
        } else if constexpr (first == FIRST_TEST_HEAD_WITHOUT_LINES) {
            bit &= static_cast<unsigned>(lines_at[head_of(rule)] == 0);
        }
        return bit << Kind;
    };
    return [&]<int... K>(std::integer_sequence<int, K...>) {
        return (bit_of_kind.template operator()<K + 1>() | ...);
    }
    (std::make_integer_sequence<int, move_kind_count - 1>{});
}

// The one-word screen of a single drawn kind: three tests, each the same for
// every kind but for the rows and masks it reads, so that the drawn kind
// selects its own with no branch:
//   bit y of row a of x, flipped by a_flip (the requirement on x, y);
//   bit z of row b of x and of y, both flipped by b_flip, or b_pass (the
//   requirements on x, z and y, z, alike for every kind that has them);
//   (parents of x, masked by parents_mask) ^ (row w of v, masked by w_mask)
//   is empty, where v is z when on_z and y otherwise (the first test).
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

// The tests of one kind, derived from its rule and first test. Stay must
// fail: its a test reads x's own adjacency unflipped (which holds y only when
// adjacent), and its w test the adjacency row of y, never empty.
constexpr OneWordScreen one_word_screen_of(MoveKind kind) {
    const MoveRule& rule = move_rules[kind];
    if (kind == MOVE_STAY) {
        return {
            VertexRows::ADJACENT, 0, VertexRows::ADJACENT, 0, -1, 0, VertexRows::ADJACENT, -1, 0};
    }
    OneWordScreen s{
        VertexRows::ADJACENT, 0, VertexRows::ADJACENT, 0, -1, 0, VertexRows::LINES, 0, 0};
    for (int r = 0; r < rule.requirement_count; ++r) {
        const MoveRequirement& req = rule.requirements[r];
        const auto row = static_cast<std::uint8_t>(row_of_relation(req.relation));
        const std::int8_t flip = req.relation == PAIR_APART ? -1 : 0;
        if (req.a == VERTEX_X && req.b == VERTEX_Y) {
            s.a_row = row;
            s.a_flip = flip;
        } else if (req.b == VERTEX_Z) {
            s.b_row = row;
            s.b_flip = flip;
            s.b_pass = 0;
        }
    }
    switch (first_test_of(kind)) {
        case FIRST_TEST_SAME_PARENTS:
            s.parents_mask = -1;
            s.w_row = VertexRows::PARENTS;
            s.w_mask = -1;
            break;
        case FIRST_TEST_HEAD_WITHOUT_LINES:
            s.w_mask = -1;
            s.on_z = head_of(rule) == VERTEX_Z ? -1 : 0;
            break;
        case FIRST_TEST_NONE:
            break;
    }
    return s;
}

// Whether the three tests can express the kind: a requirement on x, y, and
// any on z alike for both tails; a first test at y or z.
constexpr bool fits_one_word_screen(MoveKind kind) {
    const MoveRule& rule = move_rules[kind];
    int on_xy = 0;
    int on_z = 0;
    for (int r = 0; r < rule.requirement_count; ++r) {
        const MoveRequirement& req = rule.requirements[r];
        if (req.a == VERTEX_X && req.b == VERTEX_Y) {
            ++on_xy;
        } else if (req.b == VERTEX_Z &&
                   req.relation == rule.requirements[rule.requirement_count - 1].relation) {
            ++on_z;
        } else {
            return false;
        }
    }
    const bool first_fits =
        first_test_of(kind) != FIRST_TEST_HEAD_WITHOUT_LINES || head_of(rule) != VERTEX_X;
    return kind == MOVE_STAY || (on_xy == 1 && (on_z == 0 || on_z == 2) && first_fits);
}

inline constexpr OneWordScreen one_word_screens[move_kind_count] = {
    one_word_screen_of(MOVE_STAY),         one_word_screen_of(MOVE_ADD_LINE),
    one_word_screen_of(MOVE_REMOVE_LINE),  one_word_screen_of(MOVE_ADD_ARROW),
    one_word_screen_of(MOVE_REMOVE_ARROW), one_word_screen_of(MOVE_ADD_VEE),
    one_word_screen_of(MOVE_REMOVE_VEE)};
static_assert(fits_one_word_screen(MOVE_STAY) && fits_one_word_screen(MOVE_ADD_LINE) &&
              fits_one_word_screen(MOVE_REMOVE_LINE) && fits_one_word_screen(MOVE_ADD_ARROW) &&
              fits_one_word_screen(MOVE_REMOVE_ARROW) && fits_one_word_screen(MOVE_ADD_VEE) &&
              fits_one_word_screen(MOVE_REMOVE_VEE));

// Bit `kind` of screen_moves<1>(rows, x, y, z) alone, for a kind drawn as 0
// (stay, never screened in) to 6, with vertices as the 64-bit numbers the
// walk draws them as, which then index the rows and shift without a
// conversion. Rows of one word only.
inline bool screen_move_one_word(const VertexRows& rows, std::uint64_t kind, std::uint64_t x,
                                 std::uint64_t y, std::uint64_t z) {
    DCHECK(rows.words() == 1);
    DCHECK(kind < move_kind_count);
    const OneWordScreen& s = one_word_screens[kind];
    const Word* base = rows.data();
    const Word* rows_x = base + x * VertexRows::ROW_KINDS;
    const Word* rows_y = base + y * VertexRows::ROW_KINDS;
    // y ^ (y ^ z) selects z without a branch on the (unpredictable) kind.
    const std::uint64_t v = y ^ ((y ^ z) & static_cast<std::uint64_t>(s.on_z));
    const Word a = rows_x[s.a_row] ^ static_cast<Word>(s.a_flip);
    const Word b = ((rows_x[s.b_row] ^ static_cast<Word>(s.b_flip)) &
                    (rows_y[s.b_row] ^ static_cast<Word>(s.b_flip))) |
                   static_cast<Word>(s.b_pass);
    const Word w = (rows_x[VertexRows::PARENTS] & static_cast<Word>(s.parents_mask)) ^
                   (base[v * VertexRows::ROW_KINDS + s.w_row] & static_cast<Word>(s.w_mask));
    return ((a >> y) & (b >> z) & static_cast<Word>(w == 0)) & 1u;
}

}  // namespace pellimor
