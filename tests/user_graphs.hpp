#pragma once

// Test support for a user's graphs: random DAGs, essential graphs and
// chordal graphs as MixedGraph, the class of an essential graph by brute
// force (every orientation of its lines, kept when acyclic with the same
// vees), and graphs compared by vertex name.

#include <algorithm>
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "graph/dag_essential_graph.hpp"
#include "graph/mixed_graph.hpp"
#include "graph/named_graph.hpp"

namespace pellimor::testing {

// A DAG on n vertices: each pair an arrow with probability p, directed along
// a random order.
inline MixedGraph random_dag(std::mt19937_64& rng, int n, double p) {
    std::vector<int> order(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        order[static_cast<std::size_t>(i)] = i;
    }
    std::shuffle(order.begin(), order.end(), rng);
    MixedGraph g;
    g.n = n;
    std::bernoulli_distribution edge(p);
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            if (edge(rng)) {
                g.arrows.push_back(
                    {order[static_cast<std::size_t>(i)], order[static_cast<std::size_t>(j)]});
            }
        }
    }
    return g;
}

inline MixedGraph random_essential_graph(std::mt19937_64& rng, int n, double p) {
    return essential_graph_of_dag(random_dag(rng, n, p));
}

// A connected chordal graph of lines: a random tree plus `extra` random
// pairs, completed by the fill-in of a random elimination order.
inline MixedGraph random_chordal(std::mt19937_64& rng, int n, int extra) {
    std::vector<std::set<int>> adj(static_cast<std::size_t>(n));
    auto join = [&](int a, int b) {
        if (a != b) {
            adj[static_cast<std::size_t>(a)].insert(b);
            adj[static_cast<std::size_t>(b)].insert(a);
        }
    };
    for (int v = 1; v < n; ++v) {
        join(v, static_cast<int>(rng() % static_cast<std::uint64_t>(v)));
    }
    for (int t = 0; t < extra; ++t) {
        join(static_cast<int>(rng() % static_cast<std::uint64_t>(n)),
             static_cast<int>(rng() % static_cast<std::uint64_t>(n)));
    }
    std::vector<int> order(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        order[static_cast<std::size_t>(i)] = i;
    }
    std::shuffle(order.begin(), order.end(), rng);
    std::vector<int> place(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        place[static_cast<std::size_t>(order[static_cast<std::size_t>(i)])] = i;
    }
    for (const int v : order) {
        std::vector<int> later;
        for (const int u : adj[static_cast<std::size_t>(v)]) {
            if (place[static_cast<std::size_t>(u)] > place[static_cast<std::size_t>(v)]) {
                later.push_back(u);
            }
        }
        for (std::size_t a = 0; a < later.size(); ++a) {
            for (std::size_t b = a + 1; b < later.size(); ++b) {
                join(later[a], later[b]);
            }
        }
    }
    MixedGraph g;
    g.n = n;
    for (int v = 0; v < n; ++v) {
        for (const int u : adj[static_cast<std::size_t>(v)]) {
            if (u > v) {
                g.lines.push_back({v, u});
            }
        }
    }
    return g;
}

using ArrowSet = std::set<std::pair<int, int>>;

inline ArrowSet arrow_set(const std::vector<VertexPair>& arrows) {
    ArrowSet s;
    for (const VertexPair& a : arrows) {
        s.insert({a.from, a.to});
    }
    return s;
}

inline bool acyclic(int n, const ArrowSet& arrows) {
    std::vector<int> waiting(static_cast<std::size_t>(n), 0);
    for (const auto& [a, b] : arrows) {
        ++waiting[static_cast<std::size_t>(b)];
    }
    std::vector<int> ready;
    for (int v = 0; v < n; ++v) {
        if (waiting[static_cast<std::size_t>(v)] == 0) {
            ready.push_back(v);
        }
    }
    for (std::size_t i = 0; i < ready.size(); ++i) {
        for (const auto& [a, b] : arrows) {
            if (a == ready[i] && --waiting[static_cast<std::size_t>(b)] == 0) {
                ready.push_back(b);
            }
        }
    }
    return static_cast<int>(ready.size()) == n;
}

// The vees among `arrows` in a graph whose adjacent pairs are `skeleton`
// (both ways): (a, head, b), a < b not adjacent.
inline std::set<std::vector<int>> vees(const ArrowSet& arrows, const ArrowSet& skeleton) {
    std::set<std::vector<int>> result;
    auto adjacent = [&](int a, int b) { return skeleton.count({a, b}) > 0; };
    for (const auto& [a, head] : arrows) {
        for (const auto& [b, head_b] : arrows) {
            if (head_b == head && a < b && !adjacent(a, b)) {
                result.insert({a, head, b});
            }
        }
    }
    return result;
}

// Every DAG of the class of the essential graph g: its arrows with each
// orientation of its lines that is acyclic and adds no vee.
inline std::set<ArrowSet> members_by_brute_force(const MixedGraph& g) {
    const ArrowSet fixed = arrow_set(g.arrows);
    ArrowSet skeleton;
    for (const auto* edges : {&g.arrows, &g.lines}) {
        for (const VertexPair& e : *edges) {
            skeleton.insert({e.from, e.to});
            skeleton.insert({e.to, e.from});
        }
    }
    const auto target = vees(fixed, skeleton);
    std::set<ArrowSet> members;
    const std::size_t lines = g.lines.size();
    for (std::uint64_t mask = 0; mask < (std::uint64_t{1} << lines); ++mask) {
        ArrowSet dag = fixed;
        for (std::size_t i = 0; i < lines; ++i) {
            const VertexPair& l = g.lines[i];
            dag.insert((mask >> i & 1) != 0 ? std::pair{l.from, l.to} : std::pair{l.to, l.from});
        }
        if (acyclic(g.n, dag) && vees(dag, skeleton) == target) {
            members.insert(dag);
        }
    }
    return members;
}

// A graph by names: its vertices, arrows and lines (each line both ways).
struct ByName {
    std::set<std::string> vertices;
    std::set<std::pair<std::string, std::string>> arrows, lines;
    bool operator==(const ByName&) const = default;
};

inline ByName by_name(const NamedGraph& g) {
    ByName b;
    b.vertices.insert(g.names.begin(), g.names.end());
    auto name = [&](int v) { return g.names[static_cast<std::size_t>(v)]; };
    for (const VertexPair& a : g.graph.arrows) {
        b.arrows.insert({name(a.from), name(a.to)});
    }
    for (const VertexPair& l : g.graph.lines) {
        b.lines.insert({name(l.from), name(l.to)});
        b.lines.insert({name(l.to), name(l.from)});
    }
    return b;
}

}  // namespace pellimor::testing
