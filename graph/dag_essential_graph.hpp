#pragma once

// The essential graph (CPDAG) of a DAG given as a list of arrows: the DAG is
// renumbered in a topological order, labelled by FullEssentialGraph
// (Chickering's compelled and reversible arrows), and each of its arrows
// comes back as an arrow or a line, in the order given.

#include <cstddef>

#include "graph/mixed_graph.hpp"

namespace pellimor {

// The essential graph of dag, which has no lines and no directed cycle
// (std::invalid_argument otherwise). Its arrows and lines are dag's arrows
// in their order, a reversible u -> v becoming the line u -- v.
MixedGraph essential_graph_of_dag(const MixedGraph& dag);

// The memory essential_graph_of_dag takes for a DAG on n vertices beyond the
// graph itself: three rows of n bits per vertex.
double essential_graph_of_dag_bytes(int n);

}  // namespace pellimor
