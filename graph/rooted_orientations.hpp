#pragma once

// Counting the acyclic moral orientations (AMOs) of a connected chordal graph
// of any size, exactly, by the root decomposition of He, Jia and Yu
// ("Counting and exploring sizes of Markov equivalence classes of directed
// acyclic graphs", JMLR 2015). Every AMO of a connected chordal graph has a
// single source; the AMOs with source v are the consistent extensions of the
// v-rooted graph (all edges at v point away from it, closed under Meek's
// orientation rules), whose undirected part splits into connected chordal
// components that are counted independently. So
//
//   #AMO(G) = sum over v of  product over the undirected components H of the
//             v-rooted graph of #AMO(H).
//
// Each recursion step handles strictly smaller components; results are
// memoised on vertex sets. This path is for the rare large chain components
// the memoised sink-set count cannot hold, so it allocates as it goes.

#include <functional>
#include <vector>

namespace pellimor {

// Adjacency lists of an undirected graph on vertices 0 .. k-1 (symmetric,
// no loops).
using AdjacencyLists = std::vector<std::vector<int>>;

// The AMO count of the connected chordal graph g. Components of at most
// `small` vertices found on the way are handed to count_small (given the
// component's adjacency lists), so that callers can use a faster exact
// method there; components of one or two vertices are counted directly.
// The result is exact while below 2^53, rounded beyond.
double count_rooted_orientations(const AdjacencyLists& g, int small,
                                 const std::function<double(const AdjacencyLists&)>& count_small);

}  // namespace pellimor
