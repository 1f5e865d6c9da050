#include "graph/essential_graph_check.hpp"

#include <algorithm>
#include <unordered_map>

#include "graph/cardinality_search.hpp"

namespace pellimor {

namespace {

std::size_t at(int v) {
    return static_cast<std::size_t>(v);
}

// Every a -> b, b -- c must have a -> c: else a forbidden configuration (a,
// c not adjacent) or a cycle along arrows and lines. For each a, its
// children and neighbours are marked once.
std::optional<Violation> find_unclosed_arrow(const MixedAdjacency& adj) {
    const int n = adj.size();
    std::vector<int> child_mark(at(n), -1);
    std::vector<int> neighbour_mark(at(n), -1);
    for (int a = 0; a < n; ++a) {
        if (adj.children(a).empty()) {
            continue;
        }
        for (const int b : adj.children(a)) {
            child_mark[at(b)] = a;
        }
        for (const int u : adj.neighbours(a)) {
            neighbour_mark[at(u)] = a;
        }
        for (const int b : adj.children(a)) {
            for (const int c : adj.lines(b)) {
                if (child_mark[at(c)] == a) {
                    continue;
                }
                const ViolationKind kind = neighbour_mark[at(c)] == a
                                               ? ViolationKind::MIXED_CYCLE
                                               : ViolationKind::FORBIDDEN_CONFIGURATION;
                return Violation{kind, {a, b, c}};
            }
        }
    }
    return std::nullopt;
}

// A chordless cycle through v, the first vertex in the search's order whose
// earlier line neighbours are not a clique. The vertices before v induce a
// chordal graph (the reverse order is a perfect elimination order of it),
// and with v one that is not (a maximum cardinality search order yields a
// perfect elimination order exactly on chordal graphs, and the order up to v
// is such an order of the graph up to v). So every chordless cycle of the
// graph up to v runs v, x, (vertices before v not adjacent to v), y, v with
// x, y earlier line neighbours of v that are not adjacent. For each
// component C of the earlier vertices outside v's neighbourhood, a shortest
// path from x to y through C, for x, y non-adjacent among those C touches,
// closes such a cycle; and some C has such x, y.
std::vector<int> chordless_cycle_through(const MixedAdjacency& adj, int v,
                                         const std::vector<int>& position) {
    const int n = adj.size();
    const int limit = position[at(v)];
    auto earlier = [&](int u) { return position[at(u)] < limit; };
    std::vector<char> near(at(n), 0);  // v and its line neighbours
    near[at(v)] = 1;
    for (const int u : adj.lines(v)) {
        near[at(u)] = 1;
    }
    // Components of the earlier vertices that are not near v.
    std::vector<int> component(at(n), -1);
    std::vector<int> stack;
    int components = 0;
    for (const int x : adj.lines(v)) {
        if (!earlier(x)) {
            continue;
        }
        for (const int start : adj.lines(x)) {
            if (!earlier(start) || near[at(start)] != 0 || component[at(start)] >= 0) {
                continue;
            }
            component[at(start)] = components;
            stack.assign(1, start);
            while (!stack.empty()) {
                const int u = stack.back();
                stack.pop_back();
                for (const int w : adj.lines(u)) {
                    if (earlier(w) && near[at(w)] == 0 && component[at(w)] < 0) {
                        component[at(w)] = components;
                        stack.push_back(w);
                    }
                }
            }
            ++components;
        }
    }
    // The earlier neighbours of v that each component touches.
    std::vector<std::vector<int>> touching(at(components));
    for (const int x : adj.lines(v)) {
        if (!earlier(x)) {
            continue;
        }
        for (const int u : adj.lines(x)) {
            const int c = component[at(u)];
            if (c >= 0 && (touching[at(c)].empty() || touching[at(c)].back() != x)) {
                touching[at(c)].push_back(x);
            }
        }
    }
    auto line_between = [&](int a, int b) {
        const auto row = adj.lines(a);
        return std::binary_search(row.begin(), row.end(), b);
    };
    for (int c = 0; c < components; ++c) {
        const std::vector<int>& t = touching[at(c)];
        for (std::size_t i = 0; i < t.size(); ++i) {
            for (std::size_t j = i + 1; j < t.size(); ++j) {
                if (line_between(t[i], t[j])) {
                    continue;
                }
                // Breadth-first from x = t[i] through C to y = t[j].
                const int x = t[i];
                const int y = t[j];
                std::vector<int> from(at(n), -2);
                std::vector<int> queue{x};
                from[at(x)] = -1;
                for (std::size_t q = 0; q < queue.size(); ++q) {
                    const int u = queue[q];
                    for (const int w : adj.lines(u)) {
                        const bool inside = component[at(w)] == c;
                        if (from[at(w)] != -2 || !(inside || (w == y && u != x))) {
                            continue;
                        }
                        from[at(w)] = u;
                        if (w == y) {
                            std::vector<int> cycle{v};
                            for (int p = y; p != -1; p = from[at(p)]) {
                                cycle.push_back(p);
                            }
                            return cycle;  // v, y, ..., x
                        }
                        queue.push_back(w);
                    }
                }
            }
        }
    }
    return {};  // not reached: the graph up to v has a chordless cycle
}

std::optional<Violation> find_chordless_cycle(const MixedAdjacency& adj) {
    const int n = adj.size();
    std::vector<int> order;
    order.reserve(at(n));
    maximum_cardinality_search(
        n, [&](int v) { return adj.lines(v); }, [&](int v, int) { order.push_back(v); });
    std::vector<int> position(at(n));
    for (int i = 0; i < n; ++i) {
        position[at(order[at(i)])] = i;
    }
    std::vector<int> mark(at(n), -1);
    for (const int v : order) {
        // f: v's earlier line neighbour visited last; every other earlier
        // one must be adjacent to it.
        int f = -1;
        for (const int u : adj.lines(v)) {
            if (position[at(u)] < position[at(v)] && (f < 0 || position[at(u)] > position[at(f)])) {
                f = u;
            }
        }
        if (f < 0) {
            continue;
        }
        for (const int u : adj.lines(f)) {
            mark[at(u)] = v;
        }
        for (const int u : adj.lines(v)) {
            if (u != f && position[at(u)] < position[at(v)] && mark[at(u)] != v) {
                return Violation{ViolationKind::NOT_CHORDAL,
                                 chordless_cycle_through(adj, v, position)};
            }
        }
    }
    return std::nullopt;
}

// Strong protection of every arrow a -> b, in the order of g's arrows; for
// each head b its parents and neighbours are marked once.
std::optional<Violation> find_unprotected_arrow(const MixedGraph& g, const MixedAdjacency& adj) {
    const int n = adj.size();
    std::vector<int> parent_of(at(n), -1);     // marks parents(b)
    std::vector<int> neighbour_of(at(n), -1);  // marks neighbours(b)
    std::vector<int> both;
    int marked = -1;  // the head whose marks are set
    auto protected_arrow = [&](int a, int b) {
        if (marked != b) {
            for (const int u : adj.parents(b)) {
                parent_of[at(u)] = b;
            }
            for (const int u : adj.neighbours(b)) {
                neighbour_of[at(u)] = b;
            }
            marked = b;
        }
        for (const int c : adj.parents(a)) {
            if (neighbour_of[at(c)] != b) {
                return true;  // c -> a -> b, c and b not adjacent
            }
        }
        std::size_t parents_near_a = 0;
        for (const int c : adj.neighbours(a)) {
            parents_near_a += parent_of[at(c)] == b ? 1 : 0;
        }
        if (parents_near_a + 1 < adj.parents(b).size()) {
            return true;  // a -> b <- c, c and a not adjacent
        }
        for (const int c : adj.children(a)) {
            if (parent_of[at(c)] == b) {
                return true;  // a -> c -> b
            }
        }
        both.clear();
        for (const int c : adj.lines(a)) {
            if (parent_of[at(c)] == b) {
                both.push_back(c);
            }
        }
        for (std::size_t i = 0; i < both.size(); ++i) {
            for (std::size_t j = i + 1; j < both.size(); ++j) {
                if (!adj.adjacent(both[i], both[j])) {
                    return true;  // a -- c1 -> b, a -- c2 -> b, c1 and c2 not adjacent
                }
            }
        }
        return false;
    };
    for (const VertexPair& arrow : g.arrows) {
        if (!protected_arrow(arrow.from, arrow.to)) {
            return Violation{ViolationKind::UNPROTECTED_ARROW, {arrow.from, arrow.to}};
        }
    }
    return std::nullopt;
}

std::uint64_t pair_key(int a, int b) {
    return static_cast<std::uint64_t>(std::min(a, b)) << 32 |
           static_cast<std::uint32_t>(std::max(a, b));
}

}  // namespace

std::optional<std::vector<int>> find_directed_cycle(const MixedGraph& g,
                                                    const MixedAdjacency& adj) {
    const int n = g.n;
    // Depth-first along arrows; an arrow to a vertex on the path closes a
    // cycle.
    enum : char { NEW, ON_PATH, DONE };
    std::vector<char> state(at(n), NEW);
    std::vector<std::pair<int, std::size_t>> path;  // vertex, next child to try
    for (int start = 0; start < n; ++start) {
        if (state[at(start)] != NEW) {
            continue;
        }
        path.emplace_back(start, 0);
        state[at(start)] = ON_PATH;
        while (!path.empty()) {
            auto& [v, next] = path.back();
            const auto children = adj.children(v);
            if (next == children.size()) {
                state[at(v)] = DONE;
                path.pop_back();
                continue;
            }
            const int w = children[next++];
            if (state[at(w)] == ON_PATH) {
                std::vector<int> cycle;
                auto it = std::find_if(path.begin(), path.end(),
                                       [w](const auto& entry) { return entry.first == w; });
                for (; it != path.end(); ++it) {
                    cycle.push_back(it->first);
                }
                return cycle;
            }
            if (state[at(w)] == NEW) {
                state[at(w)] = ON_PATH;
                path.emplace_back(w, 0);
            }
        }
    }
    return std::nullopt;
}

std::optional<Violation> find_essential_graph_violation(const MixedGraph& g) {
    const MixedAdjacency adj(g);
    if (auto cycle = find_directed_cycle(g, adj)) {
        return Violation{ViolationKind::DIRECTED_CYCLE, std::move(*cycle)};
    }
    if (auto v = find_unclosed_arrow(adj)) {
        return v;
    }
    if (auto v = find_chordless_cycle(adj)) {
        return v;
    }
    return find_unprotected_arrow(g, adj);
}

std::string describe_violation(const NamedGraph& g, const Violation& violation) {
    const std::vector<int>& v = violation.vertices;
    auto name = [&](int u) -> const std::string& { return g.names[at(u)]; };
    // Where each edge between consecutive listed vertices was read.
    std::unordered_map<std::uint64_t, std::string> places;
    for (std::size_t i = 0; i < g.graph.arrows.size(); ++i) {
        const VertexPair& e = g.graph.arrows[i];
        places.emplace(pair_key(e.from, e.to), arrow_place(g, i));
    }
    for (std::size_t i = 0; i < g.graph.lines.size(); ++i) {
        const VertexPair& e = g.graph.lines[i];
        places.emplace(pair_key(e.from, e.to), line_place(g, i));
    }
    // " (lines 3, 5)" from " (line 3)", " (line 5)"; listed one by one when
    // the words differ.
    auto places_of = [&](const std::vector<std::pair<int, int>>& pairs) {
        std::vector<std::string> found;
        for (const auto& [a, b] : pairs) {
            const auto it = places.find(pair_key(a, b));
            if (it != places.end() && !it->second.empty()) {
                found.push_back(it->second.substr(2, it->second.size() - 3));  // "line 3"
            }
        }
        if (found.empty()) {
            return std::string();
        }
        const std::string word = found[0].substr(0, found[0].rfind(' '));
        const bool same = word.find(' ') == std::string::npos &&
                          std::all_of(found.begin(), found.end(), [&](const std::string& f) {
                              return f.substr(0, f.rfind(' ')) == word;
                          });
        std::string text = " (";
        if (same && found.size() > 1) {
            text += word + "s ";
        }
        for (std::size_t i = 0; i < found.size(); ++i) {
            text += i > 0 ? ", " : "";
            text += same && found.size() > 1 ? found[i].substr(word.size() + 1) : found[i];
        }
        return text + ")";
    };
    auto cycle_text = [&](const char* edge) {
        std::string text;
        std::vector<std::pair<int, int>> pairs;
        for (std::size_t i = 0; i < v.size(); ++i) {
            text += name(v[i]) + edge;
            pairs.emplace_back(v[i], v[(i + 1) % v.size()]);
        }
        return text + name(v[0]) + places_of(pairs);
    };
    switch (violation.kind) {
        case ViolationKind::DIRECTED_CYCLE:
            return "the arrows make a directed cycle " + cycle_text(" -> ");
        case ViolationKind::MIXED_CYCLE: {
            const bool closing_arrow =
                std::any_of(g.graph.arrows.begin(), g.graph.arrows.end(),
                            [&](const VertexPair& e) { return e.from == v[2] && e.to == v[0]; });
            return name(v[0]) + " -> " + name(v[1]) + " -- " + name(v[2]) +
                   (closing_arrow ? " -> " : " -- ") + name(v[0]) +
                   places_of({{v[0], v[1]}, {v[1], v[2]}, {v[2], v[0]}}) +
                   " is a cycle along arrows and lines: an essential graph is a chain graph, "
                   "and has none (" +
                   name(v[0]) + " -> " + name(v[1]) + " and " + name(v[1]) + " -- " + name(v[2]) +
                   " need the arrow " + name(v[0]) + " -> " + name(v[2]) + ")";
        }
        case ViolationKind::FORBIDDEN_CONFIGURATION:
            return name(v[0]) + " -> " + name(v[1]) + " -- " + name(v[2]) +
                   places_of({{v[0], v[1]}, {v[1], v[2]}}) + " with " + name(v[0]) + " and " +
                   name(v[2]) + " not adjacent: a forbidden configuration (the arrow into " +
                   name(v[1]) + " would orient the line as " + name(v[1]) + " -> " + name(v[2]) +
                   ")";
        case ViolationKind::NOT_CHORDAL:
            return "the chain component of " + name(v[0]) +
                   " (the vertices joined to it by lines) is not chordal: the cycle " +
                   cycle_text(" -- ") + " has no chord";
        case ViolationKind::UNPROTECTED_ARROW:
            return "the arrow " + name(v[0]) + " -> " + name(v[1]) + places_of({{v[0], v[1]}}) +
                   " is not strongly protected: there is no c -> " + name(v[0]) + " with c, " +
                   name(v[1]) + " not adjacent, no c -> " + name(v[1]) + " with c, " + name(v[0]) +
                   " not adjacent, no " + name(v[0]) + " -> c -> " + name(v[1]) +
                   ", and no two non-adjacent c with " + name(v[0]) + " -- c -> " + name(v[1]) +
                   "; in an essential graph it would be a line";
    }
    return "";
}

}  // namespace pellimor
