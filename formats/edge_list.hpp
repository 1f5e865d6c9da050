#pragma once

// The `edges` format: one edge a line, "a -> b" for an arrow and "a -- b" for
// a line, a name alone on a line for a vertex (needed only for isolated
// ones), blank lines and "#" to the end of a line ignored. Names are any
// tokens without blanks or "#"; vertices are numbered in the order their
// names first appear.

#include <string>
#include <string_view>

#include "graph/named_graph.hpp"

namespace pellimor {

// Throws GraphError naming the line of a malformed line, a self-loop or two
// edges between one pair.
NamedGraph read_edge_list(std::string_view text);

// Throws GraphError when a name of g cannot be written in this format.
void check_edge_list_names(const NamedGraph& g);

// Isolated vertices first, then the arrows, then the lines, one a line.
// Throws GraphError as check_edge_list_names.
void append_edge_list(std::string& out, const NamedGraph& g);

}  // namespace pellimor
