#pragma once

// A user's graph: a mixed graph whose vertices have names, and for each edge
// the place in the input it was read from, so that a message about an edge
// can say where it is. Readers (formats/) fill it; judges and transforms
// (graph/) name vertices and places from it.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "graph/mixed_graph.hpp"

namespace pellimor {

struct NamedGraph {
    std::vector<std::string> names;  // vertex v is names[v]; names are distinct
    MixedGraph graph;
    // Places of graph.arrows[i] and graph.lines[i]: a number counted from 1
    // (a line of a text, an entry of a JSON list), 0 when not known; empty
    // when the graph was not read from an input.
    std::vector<std::int64_t> arrow_places;
    std::vector<std::int64_t> line_places;
    // What the places count, for messages: "line 12", "edge 3".
    std::string arrow_place_word = "line";
    std::string line_place_word = "line";
};

// The graph with names "0" .. "n-1" and no places.
NamedGraph with_index_names(MixedGraph g);

// True when every name is its own index ("0", "1", ...).
bool has_index_names(const NamedGraph& g);

// "a -> b", "a -- b", with the names of g.
std::string arrow_text(const NamedGraph& g, VertexPair arrow);
std::string line_text(const NamedGraph& g, VertexPair line);

// " (line 12)" for arrow or line i, or "" when its place is not known.
std::string arrow_place(const NamedGraph& g, std::size_t i);
std::string line_place(const NamedGraph& g, std::size_t i);

// Refuses, with GraphError, a self-loop and two edges between one pair of
// vertices (the same edge twice, or two that contradict each other), naming
// the first of them in the input's order and the places of both.
void check_simple(const NamedGraph& g);

}  // namespace pellimor
