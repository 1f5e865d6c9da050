#include "graph/graph_class.hpp"

#include "graph/dag_essential_graph.hpp"
#include "graph/essential_graph_check.hpp"
#include "graph/graph_error.hpp"

namespace pellimor {

GraphClass class_of(const NamedGraph& input) {
    check_simple(input);
    GraphClass result;
    if (input.graph.lines.empty()) {
        result.kind = InputKind::DAG;
        const MixedAdjacency adj(input.graph);
        if (const auto cycle = find_directed_cycle(input.graph, adj)) {
            throw GraphError(
                "not a DAG: " +
                describe_violation(input, Violation{ViolationKind::DIRECTED_CYCLE, *cycle}));
        }
        result.essential.names = input.names;
        result.essential.graph = essential_graph_of_dag(input.graph);
        // Arrows and lines keep the order, hence the places, of the input's
        // arrows.
        for (std::size_t i = 0, a = 0; i < input.graph.arrows.size(); ++i) {
            const std::int64_t place = i < input.arrow_places.size() ? input.arrow_places[i] : 0;
            if (a < result.essential.graph.arrows.size() &&
                result.essential.graph.arrows[a] == input.graph.arrows[i]) {
                result.essential.arrow_places.push_back(place);
                ++a;
            } else {
                result.essential.line_places.push_back(place);
            }
        }
        result.essential.arrow_place_word = input.arrow_place_word;
        result.essential.line_place_word = input.arrow_place_word;
        return result;
    }
    result.kind = InputKind::ESSENTIAL_GRAPH;
    if (const auto violation = find_essential_graph_violation(input.graph)) {
        throw GraphError("not a CPDAG (essential graph): " + describe_violation(input, *violation));
    }
    result.essential = input;
    return result;
}

Vees vees_of(const MixedGraph& g, std::size_t limit) {
    Vees vees;
    if (g.arrows.size() < 2) {
        return vees;
    }
    const MixedAdjacency adj(g);
    for (int head = 0; head < g.n; ++head) {
        const auto parents = adj.parents(head);
        for (std::size_t i = 0; i < parents.size(); ++i) {
            for (std::size_t j = i + 1; j < parents.size(); ++j) {
                if (!adj.adjacent(parents[i], parents[j])) {
                    ++vees.count;
                    if (vees.listed.size() < limit) {
                        vees.listed.push_back(Vee{parents[i], head, parents[j]});
                    }
                }
            }
        }
    }
    return vees;
}

}  // namespace pellimor
