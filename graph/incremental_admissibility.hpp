#pragma once

// Incremental admissibility: the walk's fast judge. It keeps bitset rows of
// parents, children, line neighbours and adjacency beside the cells of an
// edge matrix and, given an admissible graph and one proposed walk move,
// decides whether the changed graph is admissible with exactly the answer
// is_admissible would give, looking only near the cells the move changes.

#include <cstddef>
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

}  // namespace pellimor
