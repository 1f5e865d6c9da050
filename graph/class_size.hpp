#pragma once

// The size of a Markov equivalence class: the number of DAGs an essential
// graph stands for. It is the product, over the chain components (the
// connected components of the lines), of each component's number of acyclic
// moral orientations (AMOs: orientations without a directed cycle and without
// a v-structure); every chain component is a connected chordal graph.
//
// How the size is held: each component's count is exact (an unsigned 64-bit
// integer for the memoised and closed-form cases; a long double, exact below
// 2^64, on the clique-picking path) and is converted to the nearest double;
// the product over components is taken in doubles. So the result is the exact
// integer while it stays below 2^53, is within a few ulps beyond, and is +inf
// past the double range, where 1/s = 0. s == 1 exactly when the graph has no
// line.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "graph/bit_rows.hpp"
#include "graph/clique_picking.hpp"
#include "graph/essential_graph.hpp"
#include "graph/orientation_memo.hpp"
#include "graph/rooted_orientations.hpp"

namespace pellimor {

struct ClassSizeOptions {
    // Components of at most this many vertices that are neither a tree nor a
    // clique are counted by the memoised sink-set recursion (exponential);
    // larger ones by clique-picking (polynomial) or, if clique_picking is
    // off, by the root decomposition (exponential in the worst case). At
    // most 20 (the memo holds 2^memo_limit counts). Measured on random
    // chordal components, the memo is the faster up to 7 vertices and
    // clique-picking from 8 on (10 to 50 times faster at 12 to 16 vertices).
    int memo_limit = 7;
    // Off: trees and cliques go the general way too (for tests).
    bool shortcuts = true;
    bool clique_picking = true;
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
    // nothing unless eg has more vertices with lines than any graph counted
    // before, or a component exceeds memo_limit vertices and is larger than
    // any clique-picking has counted before (the root decomposition, when
    // chosen, allocates as it goes).
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
    CliquePicking picker_;
    std::vector<int> index_;        // per local number: its place in members_
    std::vector<int> csr_offsets_;  // a large component's adjacency, by place
    std::vector<int> csr_targets_;

    // Counts of the components of at most small_cache_limit vertices that
    // went to the memo, by a key of their size and their k(k-1)/2 pairs, in
    // a table of 2^known_count_bits slots where a newer key replaces an
    // older one (key 0: none yet). Random DAGs keep meeting the same few
    // small chain components, which the memo would count afresh each time.
    static constexpr int small_cache_limit = 8;  // 28 pair bits below the size
    static constexpr int known_count_bits = 12;
    struct KnownCount {
        std::uint32_t key = 0;
        std::uint64_t count = 0;
    };
    std::vector<KnownCount> known_counts_;
};

}  // namespace pellimor
