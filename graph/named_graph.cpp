#include "graph/named_graph.hpp"

#include <algorithm>
#include <optional>

#include "graph/graph_error.hpp"

namespace pellimor {

namespace {

std::string place(const std::vector<std::int64_t>& places, const std::string& word, std::size_t i) {
    if (i >= places.size() || places[i] <= 0) {
        return "";
    }
    return " (" + word + " " + std::to_string(places[i]) + ")";
}

// One edge of either kind, for finding the pairs that hold two.
struct EdgeAt {
    std::uint64_t pair;  // smaller vertex, larger vertex
    std::int64_t place;  // where it was read; the index when not known
    bool line;
    std::size_t index;
};

}  // namespace

NamedGraph with_index_names(MixedGraph g) {
    NamedGraph named;
    named.names.reserve(static_cast<std::size_t>(g.n));
    for (int v = 0; v < g.n; ++v) {
        named.names.push_back(std::to_string(v));
    }
    named.graph = std::move(g);
    return named;
}

bool has_index_names(const NamedGraph& g) {
    for (std::size_t v = 0; v < g.names.size(); ++v) {
        if (g.names[v] != std::to_string(v)) {
            return false;
        }
    }
    return true;
}

std::string arrow_text(const NamedGraph& g, VertexPair arrow) {
    return g.names[static_cast<std::size_t>(arrow.from)] + " -> " +
           g.names[static_cast<std::size_t>(arrow.to)];
}

std::string line_text(const NamedGraph& g, VertexPair line) {
    return g.names[static_cast<std::size_t>(line.from)] + " -- " +
           g.names[static_cast<std::size_t>(line.to)];
}

std::string arrow_place(const NamedGraph& g, std::size_t i) {
    return place(g.arrow_places, g.arrow_place_word, i);
}

std::string line_place(const NamedGraph& g, std::size_t i) {
    return place(g.line_places, g.line_place_word, i);
}

void check_simple(const NamedGraph& g) {
    const MixedGraph& m = g.graph;
    const std::size_t count = m.arrows.size() + m.lines.size();
    // Edge e < arrows is arrow e, else line e - arrows.
    auto edge = [&](std::size_t e) -> const VertexPair& {
        return e < m.arrows.size() ? m.arrows[e] : m.lines[e - m.arrows.size()];
    };
    auto place_of = [&](std::size_t e) {
        const bool line = e >= m.arrows.size();
        const std::size_t i = line ? e - m.arrows.size() : e;
        const auto& places = line ? g.line_places : g.arrow_places;
        return i < places.size() && places[i] > 0 ? places[i] : static_cast<std::int64_t>(e);
    };
    auto text = [&](std::size_t e) {
        const bool line = e >= m.arrows.size();
        const std::size_t i = line ? e - m.arrows.size() : e;
        return line ? line_text(g, m.lines[i]) + line_place(g, i)
                    : arrow_text(g, m.arrows[i]) + arrow_place(g, i);
    };
    // The first self-loop in the input's order.
    std::optional<std::size_t> loop;
    for (std::size_t e = 0; e < count; ++e) {
        if (edge(e).from == edge(e).to && (!loop || place_of(e) < place_of(*loop))) {
            loop = e;
        }
    }
    if (loop) {
        throw GraphError("self-loop " + text(*loop) + ": an edge joins two distinct vertices");
    }
    // Edges by their lower end (a counting sort); within one lower end, the
    // upper ends are marked with the edge that has them, so that a second
    // edge between the same two vertices is met at once. Of those pairs,
    // the one whose later edge comes first in the input.
    const auto n = static_cast<std::size_t>(m.n);
    std::vector<std::size_t> begin(n + 1, 0);
    for (std::size_t e = 0; e < count; ++e) {
        ++begin[static_cast<std::size_t>(std::min(edge(e).from, edge(e).to)) + 1];
    }
    for (std::size_t v = 0; v < n; ++v) {
        begin[v + 1] += begin[v];
    }
    std::vector<std::size_t> by_lower(count);
    std::vector<std::size_t> fill(begin.begin(), begin.end() - 1);
    for (std::size_t e = 0; e < count; ++e) {
        by_lower[fill[static_cast<std::size_t>(std::min(edge(e).from, edge(e).to))]++] = e;
    }
    std::vector<std::size_t> holder(n, count);  // per upper end: the edge that has it
    std::optional<std::pair<std::size_t, std::size_t>> clash;
    auto later = [&](std::size_t a, std::size_t b) {
        return place_of(a) < place_of(b) ? std::pair{a, b} : std::pair{b, a};
    };
    for (std::size_t v = 0; v < n; ++v) {
        for (std::size_t k = begin[v]; k < begin[v + 1]; ++k) {
            const std::size_t e = by_lower[k];
            const auto upper = static_cast<std::size_t>(std::max(edge(e).from, edge(e).to));
            if (holder[upper] < count) {
                const auto pair = later(holder[upper], e);
                if (!clash || place_of(pair.second) < place_of(clash->second)) {
                    clash = pair;
                }
            } else {
                holder[upper] = e;
            }
        }
        for (std::size_t k = begin[v]; k < begin[v + 1]; ++k) {
            const std::size_t e = by_lower[k];
            holder[static_cast<std::size_t>(std::max(edge(e).from, edge(e).to))] = count;
        }
    }
    if (!clash) {
        return;
    }
    const auto [first, second] = *clash;
    const bool first_line = first >= m.arrows.size();
    const bool same =
        first_line == (second >= m.arrows.size()) && (first_line || edge(first) == edge(second));
    if (same) {
        throw GraphError("repeated edge: " + text(first) + " and again " + text(second) +
                         "; give each edge once");
    }
    throw GraphError("contradictory edges: " + text(first) + " and " + text(second) +
                     "; two vertices share at most one edge, an arrow or a line");
}

}  // namespace pellimor
