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

class ClassSizeCounter {
  public:
    // Allocates all scratch for graphs on n vertices. Throws
    // std::invalid_argument for a negative n or a memo_limit outside 1 .. 20.
    explicit ClassSizeCounter(int n, ClassSizeOptions options = {});

    int size() const { return n_; }
    int words() const { return words_; }

    // Number of DAGs in the class of eg (eg.size() == size()). Allocates
    // nothing unless a component exceeds memo_limit vertices, and then only
    // while clique-picking's scratch grows to the largest component seen
    // (the root decomposition, when chosen, allocates as it goes).
    double class_size(const EssentialGraph& eg);

    // Number of AMOs of the undirected graph with adjacency rows
    // lines[v * words() ...] (symmetric, no loops, chordal): the product over
    // its connected components.
    double count_orientations(const Word* lines);

  private:
    double count_touched();
    // Count of the component members_[0 .. k-1] with the given number of
    // lines, by the cheapest exact method.
    double count_component(int k, std::int64_t edges);
    // Count of a component of at most memo_limit vertices.
    double count_small(const AdjacencyLists& h);

    int n_;
    int words_;
    ClassSizeOptions options_;
    OrientationMemo memo_;
    std::vector<Word> lines_;      // n rows: symmetric line adjacency
    std::vector<Word> touched_;    // one row: vertices with lines not yet counted
    std::vector<Word> component_;  // one row: the current component
    std::vector<Word> frontier_;   // one row
    std::vector<int> members_;     // vertices of the current component
    std::vector<std::uint32_t> local_;  // component adjacency as masks, k <= 20
    CliquePicking picker_;
    std::vector<int> index_;        // n entries: a vertex's place in members_, or -1
    std::vector<int> csr_offsets_;  // a large component's adjacency, by place
    std::vector<int> csr_targets_;
};

}  // namespace pellimor
