#pragma once

// The `json` format, one graph per object (one per line when several are
// written, as JSON Lines), in either of two forms:
//   {"nodes": ["a", "b", "c"],
//    "edges": [{"from": "a", "to": "b", "type": "arrow"},
//              {"from": "b", "to": "c", "type": "line"}]}
// (a node may also be a number, or an object with an "id"), or the record
// that --samples writes, whose vertices are 0 .. n_vars-1:
//   {"n_vars": 3, "arrows": [[0, 1]], "lines": [[1, 2]]}
// (other keys ignored). Graphs whose names are 0, 1, ... are written in the
// second form, all others in the first.

#include <string>
#include <string_view>

#include "graph/named_graph.hpp"

namespace pellimor {

// Throws GraphError: not JSON, more than one graph, a missing or wrong key,
// an unknown vertex, a self-loop or two edges between one pair.
NamedGraph read_json_graph(std::string_view text);

// One line, ending in a newline.
void append_json_graph(std::string& out, const NamedGraph& g);

}  // namespace pellimor
