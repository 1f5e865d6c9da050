#pragma once

// A clique tree of a connected chordal graph, from maximum cardinality search
// (Blair and Peyton, "An introduction to chordal graphs and clique trees",
// 1993): visiting v_1, v_2, ..., a new maximal clique starts at v_i when its
// number of visited neighbours does not exceed that of v_{i-1}; it is those
// neighbours plus v_i, its parent is the clique of the neighbour visited
// last, and those neighbours are the separator between the two. Every later
// vertex joins the clique started last.

#include <vector>

namespace pellimor {

struct CliqueTree {
    // Clique c is members[begin[c] .. begin[c+1]-1], its separator with its
    // parent first (sep_size[c] vertices). The root is clique 0 (parent -1);
    // parents have smaller indices than their children, which are
    // children[child_begin[c] .. child_begin[c+1]-1].
    std::vector<int> begin, members, sep_size, parent, child_begin, children;

    int size() const { return static_cast<int>(parent.size()); }
    int clique_size(int c) const { return begin[c + 1] - begin[c]; }
    const int* clique(int c) const { return members.data() + begin[c]; }
};

// The clique tree of the connected chordal graph on k >= 1 vertices whose
// neighbours of v are targets[offsets[v] .. offsets[v+1]-1]. Throws
// std::invalid_argument when the graph is not connected; chordality is
// assumed.
void build_clique_tree(int k, const int* offsets, const int* targets, CliqueTree& tree);

}  // namespace pellimor
