#include "graph/dag_essential_graph.hpp"

#include <stdexcept>
#include <vector>

#include "graph/full_essential_graph.hpp"
#include "graph/ordered_dag.hpp"

namespace pellimor {

MixedGraph essential_graph_of_dag(const MixedGraph& dag) {
    if (!dag.lines.empty()) {
        throw std::invalid_argument("essential_graph_of_dag: the graph has lines");
    }
    const int n = dag.n;
    const MixedAdjacency adj(dag);
    // Kahn's algorithm: rank[v] is v's place in a topological order.
    std::vector<int> waiting(static_cast<std::size_t>(n));
    std::vector<int> order;
    order.reserve(static_cast<std::size_t>(n));
    for (int v = 0; v < n; ++v) {
        waiting[static_cast<std::size_t>(v)] = static_cast<int>(adj.parents(v).size());
        if (waiting[static_cast<std::size_t>(v)] == 0) {
            order.push_back(v);
        }
    }
    for (std::size_t i = 0; i < order.size(); ++i) {
        for (const int w : adj.children(order[i])) {
            if (--waiting[static_cast<std::size_t>(w)] == 0) {
                order.push_back(w);
            }
        }
    }
    if (static_cast<int>(order.size()) != n) {
        throw std::invalid_argument("essential_graph_of_dag: the arrows have a directed cycle");
    }
    std::vector<int> rank(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        rank[static_cast<std::size_t>(order[static_cast<std::size_t>(i)])] = i;
    }
    OrderedDag ordered(n);
    for (const VertexPair& a : dag.arrows) {
        set_bit(ordered.parents(rank[static_cast<std::size_t>(a.to)]),
                rank[static_cast<std::size_t>(a.from)]);
    }
    FullEssentialGraph labels(n);
    labels.build(ordered);
    MixedGraph essential;
    essential.n = n;
    for (const VertexPair& a : dag.arrows) {
        const bool reversible = test_bit(labels.reversible(rank[static_cast<std::size_t>(a.to)]),
                                         rank[static_cast<std::size_t>(a.from)]);
        (reversible ? essential.lines : essential.arrows).push_back(a);
    }
    return essential;
}

double essential_graph_of_dag_bytes(int n) {
    return 3.0 * n * words_for(n) * sizeof(Word);
}

}  // namespace pellimor
