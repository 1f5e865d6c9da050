#pragma once

// Test support: every labelled DAG on a few vertices, grouped into Markov
// equivalence classes by brute force (same skeleton, same v-structures), and
// the conversion of such a DAG into an OrderedDag in topological numbering.

#include <cstdint>
#include <map>
#include <vector>

#include "graph/edge_matrix.hpp"
#include "graph/ordered_dag.hpp"

namespace pellimor::testing {

// A DAG on n <= 8 vertices as parent masks: bit u of parents[v] when u -> v.
struct SmallDag {
    int n = 0;
    std::vector<std::uint32_t> parents;
};

inline bool is_acyclic(const SmallDag& dag) {
    std::uint32_t left = (std::uint32_t{1} << dag.n) - 1;
    while (left != 0) {
        bool removed = false;
        for (int v = 0; v < dag.n; ++v) {
            if ((left >> v & 1) != 0 && (dag.parents[v] & left) == 0) {
                left &= ~(std::uint32_t{1} << v);
                removed = true;
            }
        }
        if (!removed) {
            return false;
        }
    }
    return true;
}

// Every DAG on n vertices: each pair holds nothing or an arrow either way.
inline std::vector<SmallDag> all_dags(int n) {
    std::vector<std::pair<int, int>> pairs;
    for (int a = 0; a < n; ++a) {
        for (int b = a + 1; b < n; ++b) {
            pairs.emplace_back(a, b);
        }
    }
    std::int64_t total = 1;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        total *= 3;
    }
    std::vector<SmallDag> dags;
    for (std::int64_t code = 0; code < total; ++code) {
        SmallDag dag{n, std::vector<std::uint32_t>(n, 0)};
        std::int64_t rest = code;
        for (const auto& [a, b] : pairs) {
            const int choice = static_cast<int>(rest % 3);
            rest /= 3;
            if (choice == 1) {
                dag.parents[b] |= std::uint32_t{1} << a;
            } else if (choice == 2) {
                dag.parents[a] |= std::uint32_t{1} << b;
            }
        }
        if (is_acyclic(dag)) {
            dags.push_back(std::move(dag));
        }
    }
    return dags;
}

// Skeleton and v-structures in one key (n <= 8: 28 pair bits, then for each
// head c and pair a < b of its parents not adjacent a bit).
inline std::vector<bool> class_key(const SmallDag& dag) {
    const int n = dag.n;
    std::vector<bool> key;
    auto adjacent = [&](int a, int b) {
        return ((dag.parents[a] >> b & 1) | (dag.parents[b] >> a & 1)) != 0;
    };
    for (int a = 0; a < n; ++a) {
        for (int b = a + 1; b < n; ++b) {
            key.push_back(adjacent(a, b));
        }
    }
    for (int c = 0; c < n; ++c) {
        for (int a = 0; a < n; ++a) {
            for (int b = a + 1; b < n; ++b) {
                key.push_back((dag.parents[c] >> a & 1) != 0 && (dag.parents[c] >> b & 1) != 0 &&
                              !adjacent(a, b));
            }
        }
    }
    return key;
}

// One Markov equivalence class found by brute force.
struct DagClass {
    std::vector<int> members;  // indices into the list of DAGs
    EdgeMatrix essential{0};   // arrows where all members agree, lines elsewhere
};

inline std::vector<DagClass> group_classes(const std::vector<SmallDag>& dags) {
    std::map<std::vector<bool>, int> index;
    std::vector<DagClass> classes;
    for (int i = 0; i < static_cast<int>(dags.size()); ++i) {
        const auto [it, fresh] = index.emplace(class_key(dags[i]), static_cast<int>(classes.size()));
        if (fresh) {
            classes.push_back(DagClass{{}, EdgeMatrix(dags[i].n)});
        }
        classes[it->second].members.push_back(i);
    }
    for (auto& c : classes) {
        const int n = dags[c.members.front()].n;
        for (int a = 0; a < n; ++a) {
            for (int b = 0; b < n; ++b) {
                bool forward = false;
                bool backward = false;
                for (int i : c.members) {
                    forward = forward || (dags[i].parents[b] >> a & 1) != 0;
                    backward = backward || (dags[i].parents[a] >> b & 1) != 0;
                }
                if (forward && backward) {
                    c.essential[a][b] = EDGE_LINE;
                } else if (forward) {
                    c.essential[a][b] = EDGE_ARROW;
                }
            }
        }
    }
    return classes;
}

// Writes dag into ordered in a topological numbering; order[i] is the
// original vertex that became vertex i (the perm of write_essential_graph).
// reverse_ties: among the vertices ready at once, take the highest first, so
// that two calls give two different numberings.
inline void to_ordered(const SmallDag& dag, OrderedDag& ordered, std::vector<int>& order,
                       bool reverse_ties = false) {
    const int n = dag.n;
    order.clear();
    std::uint32_t placed = 0;
    std::vector<int> position(n, -1);
    while (static_cast<int>(order.size()) < n) {
        for (int i = 0; i < n; ++i) {
            const int v = reverse_ties ? n - 1 - i : i;
            if ((placed >> v & 1) == 0 && (dag.parents[v] & ~placed) == 0) {
                position[v] = static_cast<int>(order.size());
                order.push_back(v);
                placed |= std::uint32_t{1} << v;
                break;
            }
        }
    }
    ordered.resize(n);
    for (int i = 0; i < n; ++i) {
        const int v = order[i];
        for (int u = 0; u < n; ++u) {
            if ((dag.parents[v] >> u & 1) != 0) {
                set_bit(ordered.parents(i), position[u]);
            }
        }
    }
}

}  // namespace pellimor::testing
