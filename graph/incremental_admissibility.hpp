#pragma once

// Incremental admissibility: the walk's fast judge. It keeps the vertex rows
// and a topological order beside the cells of an edge matrix and, given an
// admissible graph and one proposed walk move, decides whether the changed
// graph is admissible with exactly the answer is_admissible would give,
// looking only near the cells the move changes.

#include <cstdint>
#include <vector>

#include "graph/bit_rows.hpp"
#include "graph/edge_matrix.hpp"
#include "graph/moves.hpp"
#include "graph/topological_order.hpp"
#include "graph/vertex_rows.hpp"

namespace pellimor {

// The move logic, instantiated for rows of one to five words and for any width.
template <int FixedWords>
struct IncrementalKernel;

// The first, cheapest test each move's judgement starts with, part of
// "arrows close over lines": a new line needs equal parents at its ends, and
// a move on arrows needs their head free of lines (its parents change).
enum FirstTest : int { FIRST_TEST_NONE, FIRST_TEST_SAME_PARENTS, FIRST_TEST_HEAD_WITHOUT_LINES };

constexpr FirstTest first_test_of(MoveKind kind) {
    const MoveRule& rule = move_rules[kind];
    if (kind == MOVE_STAY) {
        return FIRST_TEST_NONE;
    }
    if (rule.edge == EDGE_ARROW) {
        return FIRST_TEST_HEAD_WITHOUT_LINES;
    }
    return rule.adds ? FIRST_TEST_SAME_PARENTS : FIRST_TEST_NONE;
}

// The precondition of `kind` (move_rules) read off the rows instead of the
// cells: apart is "not in the adjacency row", which holds the vertex itself.
inline bool rows_hold_precondition(const VertexRows& rows, MoveKind kind, const int v[3]) {
    const MoveRule& rule = move_rules[kind];
    for (int r = 0; r < rule.requirement_count; ++r) {
        const MoveRequirement& req = rule.requirements[r];
        const int a = v[req.a];
        const int b = v[req.b];
        const bool holds = req.relation == PAIR_APART  ? !rows.has(VertexRows::ADJACENT, a, b)
                           : req.relation == PAIR_LINE ? rows.has(VertexRows::LINES, a, b)
                                                       : rows.has(VertexRows::CHILDREN, a, b);
        if (!holds) {
            return false;
        }
    }
    return kind != MOVE_STAY;
}

class IncrementalAdmissibility {
  public:
    // Starts from the graph in m, which must be admissible, and keeps m's
    // cells in step with every kept move. m must outlive this object.
    // Throws std::invalid_argument when the arrows of m contain a directed
    // cycle (no admissible graph has one).
    explicit IncrementalAdmissibility(EdgeMatrix& m);

    // Starts again from the graph in m, as the constructor does, in the
    // memory this object has: no allocation when m has no more vertices than
    // the graph it started from before.
    void reset(EdgeMatrix& m);

    // One walk move: when the move's precondition holds and the changed
    // graph is admissible, the change is applied to the rows and to the
    // matrix and the result is true; otherwise nothing changes and the
    // result is false. Does not allocate. z is read by the vees only.
    bool try_move(MoveKind kind, int x, int y, int z);
    bool add_line(int x, int y) { return try_move(MOVE_ADD_LINE, x, y, 0); }
    bool remove_line(int x, int y) { return try_move(MOVE_REMOVE_LINE, x, y, 0); }
    bool add_arrow(int x, int y) { return try_move(MOVE_ADD_ARROW, x, y, 0); }  // x -> y
    bool remove_arrow(int x, int y) { return try_move(MOVE_REMOVE_ARROW, x, y, 0); }
    bool add_vee(int x, int y, int z) { return try_move(MOVE_ADD_VEE, x, y, z); }  // x -> z <- y
    bool remove_vee(int x, int y, int z) { return try_move(MOVE_REMOVE_VEE, x, y, z); }

    // The rest of a changing move once its precondition and its first test
    // passed (as the walk's screens find), for rows of FixedWords words (1
    // to 5, the width words() gives; 0 serves any width): the same answer
    // and change as try_move.
    template <int FixedWords>
    bool finish(MoveKind kind, int x, int y, int z);

    const VertexRows& rows() const { return rows_; }
    int words() const { return rows_.words(); }

    // The lines of the graph, from the rows (each line sits in two rows):
    // O(n * words()), against O(n^2) for the matrix's cells.
    std::int64_t line_count() const;

    // True when the rows describe exactly the graph in the matrix and the
    // kept vertex order is a topological order of its arrows. Costs O(n^2).
    bool consistent_with_matrix() const;

    // For tests: sends every later move through the code for rows of any
    // width, which otherwise serves only n > 320.
    void use_general_word_loops() { dispatch_words_ = 0; }

  private:
    template <int FixedWords>
    friend struct IncrementalKernel;

    // try_move once the precondition holds.
    bool judge(MoveKind kind, int x, int y, int z);
    // With expensive checks: the rows must still match the matrix.
    void check_after(bool kept) const;

    EdgeMatrix* m_;
    VertexRows rows_;
    TopologicalOrder order_;
    // Selects the code for try_move: words(), or 0 for the general one.
    int dispatch_words_;

    // Scratch rows for the searches and re-checks, cleared by each user.
    static constexpr int scratch_rows = 5;
    std::vector<Word> scratch_;
    Word* scratch(int k) { return scratch_.data() + static_cast<std::size_t>(k) * rows_.words(); }
};

inline bool IncrementalAdmissibility::try_move(MoveKind kind, int x, int y, int z) {
    const int v[3] = {x, y, z};
    return rows_hold_precondition(rows_, kind, v) && judge(kind, x, y, z);
}

}  // namespace pellimor
