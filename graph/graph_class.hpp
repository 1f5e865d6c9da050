#pragma once

// Which class a user's graph stands for. A graph of arrows alone is a DAG:
// its class is that of its essential graph. A graph with lines must itself
// be an essential graph (CPDAG), by the complete test. Anything else is
// refused with GraphError, whose message names the fault, the vertices and
// the places of the edges in the input.

#include <cstdint>
#include <vector>

#include "graph/mixed_graph.hpp"
#include "graph/named_graph.hpp"

namespace pellimor {

enum class InputKind { DAG, ESSENTIAL_GRAPH };

struct GraphClass {
    InputKind kind = InputKind::DAG;
    NamedGraph essential;  // the input's names; the places of its edges in the input
};

// The essential graph of `input`'s class. Throws GraphError.
GraphClass class_of(const NamedGraph& input);

// A vee (v-structure): a -> head <- b with a and b not adjacent, a < b.
struct Vee {
    int a = 0;
    int head = 0;
    int b = 0;
    bool operator==(const Vee&) const = default;
};

// The vees of g, in order of head, then a, then b; at most `limit` of them
// listed, all counted.
struct Vees {
    std::int64_t count = 0;
    std::vector<Vee> listed;
};
Vees vees_of(const MixedGraph& g, std::size_t limit);

}  // namespace pellimor
