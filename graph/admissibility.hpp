#pragma once

// The admissibility test: decides whether a mixed graph is an essential graph,
// that is a chain graph without an induced x -> y - z, with chordal chain
// components, in which every arrow is strongly protected. This is the plain
// reference version; it allocates its scratch on every call.

#include "graph/edge_matrix.hpp"

namespace pellimor {

// True when all four conditions hold:
//  1. arrows close over lines: i -> j and j - k imply i -> k;
//  2. the arrows contain no directed cycle;
//  3. the lines form a chordal graph;
//  4. every arrow i -> j is protected by one of
//     A. a parent of i not adjacent to j,
//     B. another parent of j not adjacent to i,
//     C. a path i -> a -> j,
//     D. two non-adjacent line neighbours of i that are both parents of j.
bool is_admissible(const EdgeMatrix& m);

}  // namespace pellimor
