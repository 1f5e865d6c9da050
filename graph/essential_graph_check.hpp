#pragma once

// The complete test of an essential graph (CPDAG) that says what is wrong
// and where. By Andersson, Madigan and Perlman ("A characterization of
// Markov equivalence classes for acyclic digraphs", Ann. Statist. 1997) a
// mixed graph is the essential graph of a class of DAGs exactly when
//  (i)   it is a chain graph: no cycle runs along arrows and lines with at
//        least one arrow, all arrows forward;
//  (ii)  every chain component (a connected part of the lines) is chordal;
//  (iii) no a -> b -- c has a and c non-adjacent;
//  (iv)  every arrow a -> b is strongly protected: it is in one of
//        c -> a -> b (c, b not adjacent), a -> b <- c (c, a not adjacent),
//        a -> c -> b, or a -- c1 -> b, a -- c2 -> b (c1, c2 not adjacent).
// (i) is tested as: the arrows have no directed cycle, and every a -> b,
// b -- c has a -> c. Given no directed cycle of arrows, a cycle of (i)
// contains some a -> b -- c; replacing it by a -> c shortens the cycle, down
// to a directed cycle of arrows; so the two tests together are (i), and the
// second also finds (iii). graph/admissibility.hpp is the same test as a
// yes or no on an edge matrix; the tests tie the two together.

#include <optional>
#include <string>
#include <vector>

#include "graph/mixed_graph.hpp"
#include "graph/named_graph.hpp"

namespace pellimor {

enum class ViolationKind {
    DIRECTED_CYCLE,           // vertices: v0 -> v1 -> ... -> v0
    MIXED_CYCLE,              // a, b, c: a -> b -- c, closed by c -> a or c -- a
    FORBIDDEN_CONFIGURATION,  // a, b, c: a -> b -- c, a and c not adjacent
    NOT_CHORDAL,              // a chordless cycle of lines v0 -- v1 -- ... -- v0, length >= 4
    UNPROTECTED_ARROW,        // a, b: the arrow a -> b
};

struct Violation {
    ViolationKind kind;
    std::vector<int> vertices;
    bool operator==(const Violation&) const = default;
};

// A directed cycle of g's arrows (its vertices in order), if there is one.
// O(n + edges).
std::optional<std::vector<int>> find_directed_cycle(const MixedGraph& g, const MixedAdjacency& adj);

// The first condition g fails, tested in the order above; nothing when g is
// an essential graph. g has no self-loop or repeated pair (check_simple).
// O(n + edges * max degree).
std::optional<Violation> find_essential_graph_violation(const MixedGraph& g);

// What is wrong, for the user: the condition and the vertices by name, with
// the places of the edges involved.
std::string describe_violation(const NamedGraph& g, const Violation& violation);

}  // namespace pellimor
