#pragma once

// The size of a Markov equivalence class: the number of DAGs an essential
// graph stands for. It is the product, over the chain components (the
// connected components of the lines), of each component's number of acyclic
// moral orientations (AMOs: orientations without a directed cycle and without
// a v-structure); every chain component is a connected chordal graph.
//
// How the size is held: each component's count is exact (an unsigned 64-bit
// integer for the memoised and closed-form cases, an exact big integer on the
// polynomial path) and is converted to the nearest double; the product over
// components is taken in doubles. So the result is the exact integer while it
// stays below 2^53, is within a few ulps beyond, and is +inf past the double
// range, where 1/s = 0. s == 1 exactly when the graph has no line.

#include <cstdint>
#include <vector>

#include "graph/bit_rows.hpp"
#include "graph/essential_graph.hpp"
#include "graph/orientation_memo.hpp"
#include "graph/rooted_orientations.hpp"

namespace pellimor {

struct ClassSizeOptions {
    // Components of at most this many vertices that are neither a tree nor a
    // clique are counted by the memoised sink-set recursion; larger ones by
    // the root decomposition. At most 20 (the memo holds 2^memo_limit counts).
    int memo_limit = 16;
    // Off: trees and cliques go the general way too (for tests).
    bool shortcuts = true;
};

// The vertices with lines are few in a random DAG's essential graph, so the
// counter copies only them, renumbered 0 .. k-1 in increasing order, into
// rows of k bits: its scratch grows with the most vertices with lines seen,
// not with n.
class ClassSizeCounter {
  public:
    // Allocates the scratch for graphs on n vertices with a few vertices with
    // lines. Throws std::invalid_argument for a negative n or a memo_limit
    // outside 1 .. 20.
    explicit ClassSizeCounter(int n, ClassSizeOptions options = {});

    // The memory a counter for n vertices takes (with default options), the
    // memo of its small components included.
    static std::size_t bytes_needed(int n);

    int size() const { return n_; }
    int words() const { return words_; }

    // Number of DAGs in the class of eg (eg.size() == size()). Allocates
    // nothing unless a component exceeds memo_limit vertices or eg has more
    // vertices with lines than any graph counted before.
    double class_size(const EssentialGraph& eg);

    // Number of AMOs of the undirected graph with adjacency rows
    // lines[v * words() ...] (symmetric, no loops, chordal): the product over
    // its connected components.
    double count_orientations(const Word* lines);

  private:
    // Numbers the vertices in touched_ 0 .. k-1 and clears their local rows.
    void number_touched();
    void link(int u, int v);
    const Word* local_row(int i) const {
        return local_rows_.data() + static_cast<std::size_t>(i) * local_words_;
    }
    // Splits the numbered vertices into the components of their lines and
    // multiplies the components' counts; clears the numbering again.
    double count_numbered();
    // Count of the component members_[0 .. k-1] (local numbers) with the
    // given number of lines, by the cheapest exact method.
    double count_component(int k, std::int64_t edges);
    // Count of a component of at most memo_limit vertices.
    double count_small(const AdjacencyLists& h);

    int n_;
    int words_;
    ClassSizeOptions options_;
    OrientationMemo memo_;
    std::vector<Word> touched_;         // one row of n bits: the vertices with lines
    std::vector<int> local_of_;         // per vertex: its local number, -1 when it has no line
    std::vector<int> vertex_of_;        // per local number: the vertex
    int k_ = 0;                         // vertices numbered
    int local_words_ = 0;               // words of a local row: words_for(k_)
    std::vector<Word> local_rows_;      // k_ rows of local_words_: symmetric line adjacency
    std::vector<Word> component_;       // one local row: the current component
    std::vector<Word> frontier_;        // one local row
    std::vector<int> members_;          // local numbers of the current component
    std::vector<std::uint32_t> local_;  // component adjacency as masks, k <= 20
};

}  // namespace pellimor
