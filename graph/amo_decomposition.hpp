#pragma once

// The acyclic moral orientations (AMOs: orientations without a directed
// cycle or a v-structure) of a connected chordal graph, counted exactly by
// clique-picking (Wienöbst, Bannach and Liśkiewicz, "Polynomial-time
// algorithms for counting and sampling Markov equivalent DAGs", AAAI 2021;
// JMLR 2023), with the decomposition kept so that the AMOs can also be drawn
// (sampler/class_sampler.hpp) and listed (graph/dag_lister.hpp).
//
// graph/clique_picking.hpp gives the recurrence and why it holds; in short,
// with a clique tree rooted anywhere, every AMO has exactly one clique K
// whose vertices come first in a topological order that starts with no
// separator of FP(K) (the separators on the path to the root inside K), so
//     #AMO(G) = sum_K phi(K) * prod_{H in G^K} #AMO(H),
// phi(K) being the orders of K without a prefix in FP(K), and G^K the
// undirected components left once K comes first in some order and Meek's
// rules have run. Split the tree at K: behind a neighbour C (separator S)
// the first set is the flower of S minus S, whose components are the groups
// of flower cliques joined by tree edges with separators larger than S;
// past the flower the same holds again with the next separator ("pieces").
// Here every group is a part of its own, found again by its vertex set, and
// counted as a clique (k!), a tree (k) or by the same recurrence.
//
// An AMO with prefix clique K and order pi of K has the topological order:
// pi, then the groups in the order the pieces reach them from K (a piece's
// groups before those of the pieces behind it), each group in a topological
// order of its own AMO. Edges between groups run from a group reached
// earlier to one reached later, and groups of one flower are not adjacent,
// so this is a topological order of the whole AMO.
//
// Counts are exact integers (GMP). The decomposition is built and counted
// once, in the constructor; it is then only read, so threads may share it.

#include <gmpxx.h>

#include <cstdint>
#include <deque>
#include <span>
#include <unordered_map>
#include <vector>

#include "graph/clique_tree.hpp"

namespace pellimor {

class AmoDecomposition {
  public:
    enum class PartKind : std::uint8_t { CLIQUE, TREE, GENERAL };

    // A connected induced subgraph met on the way (the whole graph is part 0).
    struct Part {
        PartKind kind = PartKind::CLIQUE;
        bool structured = false;
        std::vector<int> vertices;  // its vertices, sorted; "local" indices index this
        mpz_class count;            // its AMOs
        // TREE: the local neighbours of local vertex i are
        // adjacency[adjacency_begin[i] .. adjacency_begin[i+1]-1].
        std::vector<int> adjacency_begin, adjacency;
        // GENERAL: a clique tree over local indices; for each entry of
        // tree.members, the first of the forbidden prefix sets of its clique
        // (in increasing size) that holds it, or the number of those sets;
        // the sizes of those sets per clique; and the running sums of the
        // cliques' terms phi(K) * prod #AMO(H).
        CliqueTree tree;
        std::vector<int> levels;
        std::vector<int> forbidden_begin, forbidden_sizes;
        std::vector<mpz_class> cumulative;
        // GENERAL: the pieces, one per directed tree edge: 2c is
        // parent(c) -> c, 2c + 1 is c -> parent(c) (0 and 1 are unused). Piece
        // p holds the groups groups[group_begin[p] ..] (part ids) and leads
        // on to the pieces exits[exit_begin[p] ..].
        std::vector<int> group_begin, groups, exit_begin, exits;

        int size() const { return static_cast<int>(vertices.size()); }
        std::span<const int> forbidden(int c) const {
            return {forbidden_sizes.data() + forbidden_begin[static_cast<std::size_t>(c)],
                    forbidden_sizes.data() + forbidden_begin[static_cast<std::size_t>(c) + 1]};
        }
        std::span<const int> piece_groups(int p) const {
            return {groups.data() + group_begin[static_cast<std::size_t>(p)],
                    groups.data() + group_begin[static_cast<std::size_t>(p) + 1]};
        }
        std::span<const int> piece_exits(int p) const {
            return {exits.data() + exit_begin[static_cast<std::size_t>(p)],
                    exits.data() + exit_begin[static_cast<std::size_t>(p) + 1]};
        }
        // The pieces from clique c to its tree neighbours, in the order
        // visit(piece) is called.
        template <typename Visit>
        void pieces_from(int c, Visit visit) const {
            if (tree.parent[static_cast<std::size_t>(c)] >= 0) {
                visit(2 * c + 1);
            }
            for (int j = tree.child_begin[static_cast<std::size_t>(c)];
                 j < tree.child_begin[static_cast<std::size_t>(c) + 1]; ++j) {
                visit(2 * tree.children[static_cast<std::size_t>(j)]);
            }
        }
    };

    // The connected chordal graph on k >= 1 vertices whose neighbours of v
    // are targets[offsets[v] .. offsets[v+1]-1] (symmetric, no loops).
    // Chordality is assumed; throws std::invalid_argument when the graph is
    // not connected.
    AmoDecomposition(int k, std::vector<int> offsets, std::vector<int> targets);

    int size() const { return k_; }
    const mpz_class& count() const { return parts_.front().count; }
    const Part& part(int id) const { return parts_[static_cast<std::size_t>(id)]; }
    int part_count() const { return static_cast<int>(parts_.size()); }
    std::span<const int> neighbours(int v) const {
        return {targets_.data() + offsets_[static_cast<std::size_t>(v)],
                targets_.data() + offsets_[static_cast<std::size_t>(v) + 1]};
    }

    // k! for k up to the size of the largest clique.
    const mpz_class& factorial(int k) const { return factorials_[static_cast<std::size_t>(k)]; }

  private:
    // Sorts `vertices`; finds or adds their part (known to be a clique when
    // `clique`: one flower clique less the separator).
    int part_of(std::vector<int>& vertices, bool clique);
    void structure(int id);
    void structure_general(Part& p, int k);
    void count_part(Part& p);

    int k_;
    std::vector<int> offsets_, targets_;
    std::deque<Part> parts_;  // stays in place as parts are added
    std::unordered_map<std::uint64_t, std::vector<int>> by_hash_;
    std::vector<mpz_class> factorials_;
    // Scratch of structure().
    std::vector<int> local_of_, off_, tgt_, mark_, pred_, join_, flower_, record_;
    std::vector<int> group_vertices_;
};

}  // namespace pellimor
