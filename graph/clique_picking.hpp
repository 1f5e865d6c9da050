#pragma once

// Counting the acyclic moral orientations (AMOs) of a connected chordal graph
// in polynomial time by clique-picking (Wienöbst, Bannach and Liśkiewicz,
// "Polynomial-time algorithms for counting and sampling Markov equivalent
// DAGs", AAAI 2021; JMLR 2023).
//
// 1. Prefix cliques. Every AMO has a topological order that begins with a
//    maximal clique K (a lexicographic BFS that breaks ties by the AMO is a
//    topological order of it, and the first vertices of an LBFS of a chordal
//    graph form a maximal clique). Fixing K first, in an order sigma, and all
//    edges K -> rest, the closure under Meek's rules leaves undirected a set
//    G^K of connected chordal induced subgraphs, independent of sigma, which
//    are oriented independently. So |K|! * prod_{H in G^K} #AMO(H) AMOs have K
//    as a prefix.
// 2. One count per AMO. An AMO can have several prefix cliques; if K and K'
//    both are, K n K' is a prefix of both orders. Root a clique tree T
//    anywhere; let FP(K) be the separators on the path from the root to K that
//    are subsets of K. Each AMO has exactly one prefix clique K whose order
//    starts with no set of FP(K) (the papers' theorem), hence
//        #AMO(G) = sum_K phi(K, FP(K)) * prod_{H in G^K} #AMO(H),
//    phi(K, F) = the permutations of K with no prefix in F.
// 3. phi. The sets in FP(K) are nested: a separator S_i on the path that lies
//    in K lies in every clique between (running intersection), hence in every
//    later separator. For X_1 < ... < X_r (sizes a_1 < ... < a_r, c = |K|),
//    a permutation with a forbidden prefix has a shortest one, X_j, and
//        g_j = a_j! - sum_{i<j} g_i (a_j - a_i)!   (orders of X_j free of X_i)
//        phi = c! - sum_j g_j (c - a_j)!.
// 4. G^K from the clique tree. The papers obtain G^K by an LBFS that starts
//    with K: the undirected components are the connected components of G[X]
//    for each partition set X, taken when its first vertex is visited. Split
//    the tree at K: the part behind a neighbour C (separator S = K n C) sees
//    K only through S. Its first set is X_S, the vertices of that part
//    adjacent to all of S: the cliques there that contain S (a subtree, the
//    flower of S) minus S. Two flower cliques joined by a tree edge whose
//    separator is larger than S share a vertex of X_S; when it is exactly S
//    their vertices are not adjacent; so the components of G[X_S] are the
//    groups of flower cliques joined by such edges. Every edge from X_S to a
//    vertex y outside it is forced outward (s -> x - y with s in S not
//    adjacent to y), so behind each tree edge D -> E leaving the flower the
//    same holds again with D n E first. With piece(K -> C) the product of
//    #AMO over the components behind C,
//        piece(K -> C) = prod_{groups} #AMO(group)
//                        * prod_{D -> E leaving the flower} piece(D -> E),
//        prod_{H in G^K} #AMO(H) = prod_{C next to K} piece(K -> C).
//    Each directed tree edge is evaluated once; a group is one clique minus S
//    (count (|D| - |S|)!) or a smaller connected chordal graph counted the
//    same way, memoised on its vertex set.
//
// Counts are carried as long double: integers below 2^64 are exact (so the
// result, rounded once to double, is exact below 2^53), beyond that within a
// few ulps; past the double range the result is +inf.

#include <cstdint>
#include <list>
#include <vector>

#include "graph/orientation_memo.hpp"

namespace pellimor {

// Adjacency lists of an undirected graph on vertices 0 .. k-1 (symmetric,
// no loops).
using AdjacencyLists = std::vector<std::vector<int>>;

struct CliquePickingOptions {
    // Subgraphs of at most this many vertices (and at most the memo's limit)
    // go to the memoised sink-set count, when a memo is given; 0: none.
    int small = 0;
    // Trees (k AMOs) and cliques (k!) by their closed forms.
    bool closed_forms = true;
};

class CliquePicking {
  public:
    explicit CliquePicking(CliquePickingOptions options = {}) : options_(options) {}

    // The AMO count of the connected chordal graph on k vertices whose
    // neighbours of v are targets[offsets[v] .. offsets[v+1]-1]. Subgraphs of
    // at most options.small vertices go to memo when it is given. Throws
    // std::invalid_argument for a graph that is not connected (chordality is
    // assumed, not checked). Allocates
    // only while its scratch grows to the largest graph and the deepest
    // recursion seen so far.
    double count(int k, const int* offsets, const int* targets, OrientationMemo* memo = nullptr);
    double count(const AdjacencyLists& g, OrientationMemo* memo = nullptr);

  private:
    using Count = long double;

    // A clique tree: clique c is members[begin[c] .. begin[c+1]-1], its
    // separator with its parent first (sep_size[c] vertices); the root is
    // clique 0, parents have smaller indices than their children.
    struct CliqueTree {
        std::vector<int> begin, members, sep_size, parent, child_begin, children;
        int size() const { return static_cast<int>(parent.size()); }
        int clique_size(int c) const { return begin[c + 1] - begin[c]; }
        const int* clique(int c) const { return members.data() + begin[c]; }
    };
    // The scratch of one level of the recursion over subgraphs.
    struct Frame {
        std::vector<int> vertices;  // the subgraph: sorted input ids
        std::vector<int> off, tgt;  // its adjacency, vertices renamed 0 .. k-1
        std::vector<int> label, head, next, prev, when, clique_of, fill;
        CliqueTree tree;
        std::vector<int> mark, flower, pred, join, group_head, group_next, sizes;
        std::vector<Count> piece, free_orders;
        std::vector<std::uint32_t> masks;
    };
    // A subgraph's count, its key (vertex set) at key_pool_[offset ...].
    struct Known {
        std::uint64_t hash = 0;
        int offset = 0;
        int length = 0;  // 0: an empty slot
        Count value = 0;
    };

    // The frame of a depth, made when first needed.
    Frame& frame(std::size_t depth);
    // #AMO of the connected subgraph frame(depth).vertices of the input.
    Count count_induced(std::size_t depth);
    // k for a tree, k! for a clique (when closed forms are on), else -1.
    Count closed_form(int k, std::int64_t edges) const;
    static void build_tree(Frame& f, int k);

    const Count* find_known(const std::vector<int>& key, std::uint64_t hash) const;
    void add_known(const std::vector<int>& key, std::uint64_t hash, Count value);

    CliquePickingOptions options_;
    OrientationMemo* memo_ = nullptr;
    const int* offsets_ = nullptr;
    const int* targets_ = nullptr;
    std::vector<int> local_;  // input id -> id within the subgraph being set up
    // Frames by depth; a list keeps them in place as the recursion deepens
    // and allocates nothing until used.
    std::list<Frame> frames_;
    std::vector<Known> known_;  // open addressing, a power of two in size
    std::vector<std::size_t> known_used_;
    std::vector<int> key_pool_;
};

}  // namespace pellimor
