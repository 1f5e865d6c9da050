#pragma once

// The file formats of a user's graph, read and written without any I/O (from
// and into strings):
//   edges        text, one edge a line: "a -> b" an arrow, "a -- b" a line, a
//                name alone an isolated vertex, "#" starts a comment
//                (formats/edge_list.hpp);
//   json         {"nodes": [...], "edges": [{"from", "to", "type"}]}, or the
//                record --samples writes: {"n_vars", "arrows", "lines"}
//                (formats/json_graph.hpp);
//   amat, amat-pcalg, amat-signed
//                adjacency matrices as CSV, in the three conventions of
//                formats/adjacency_matrix.hpp.
// Every reader refuses what it cannot read with GraphError, naming the line.

#include <optional>
#include <string>
#include <string_view>

#include "graph/named_graph.hpp"

namespace pellimor {

enum class GraphFormat { EDGES, JSON, AMAT, AMAT_PCALG, AMAT_SIGNED };

inline constexpr std::string_view graph_format_names[] = {"edges", "json", "amat", "amat-pcalg",
                                                          "amat-signed"};

std::string_view graph_format_name(GraphFormat format);
std::optional<GraphFormat> graph_format_named(std::string_view name);

// The format of the text read from `file_name` ("-" or "" for standard
// input), from the name's ending and the text, when that is unambiguous;
// else GraphError saying why, and that --format is needed.
GraphFormat detect_graph_format(std::string_view file_name, std::string_view text);

// The graph in `text`. Throws GraphError. Readers check the edges with
// check_simple (graph/named_graph.hpp).
NamedGraph read_graph(std::string_view text, GraphFormat format);

// Appends g in `format`: for json one line, for the others a block that ends
// with a newline. Graphs written one after another are separated by a blank
// line, except json's (graph_separator).
void append_graph(std::string& out, const NamedGraph& g, GraphFormat format);
std::string_view graph_separator(GraphFormat format);

}  // namespace pellimor
