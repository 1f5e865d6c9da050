#pragma once

// Test support: every labelled DAG on a few vertices, grouped into Markov
// equivalence classes by brute force (same skeleton, same v-structures), and
// the conversion of such a DAG into an OrderedDag in topological numbering.

#include <algorithm>
#include <cstdint>
#include <map>
#include <stdexcept>
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
        const auto [it, fresh] =
            index.emplace(class_key(dags[i]), static_cast<int>(classes.size()));
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

// What one class found by brute force looks like.
struct ClassShape {
    int size = 0;   // its DAGs
    int lines = 0;  // pairs its DAGs orient both ways
    int largest_chain_component = 1;
    int chain_components = 0;  // of 2 or more vertices
    int vees = 0;
};

// Every class on n <= 6 vertices, from every way to leave out or orient each
// pair that closes no cycle (on 6 vertices, 3781503 DAGs in 1067825
// classes), without keeping the DAGs.
inline std::vector<ClassShape> all_class_shapes(int n) {
    if (n < 1 || n > 6) {
        throw std::invalid_argument("all_class_shapes: n must be 1 to 6");
    }
    std::vector<std::pair<int, int>> pairs;
    for (int a = 0; a < n; ++a) {
        for (int b = a + 1; b < n; ++b) {
            pairs.emplace_back(a, b);
        }
    }
    const int p = static_cast<int>(pairs.size());
    // The DAGs seen of one class, by its key: the skeleton's bits, then a
    // bit per head c and pair i of its parents that are not adjacent (at
    // most 15 + 6 * 15 bits), in a table with open addressing.
    struct Seen {
        std::uint64_t key[2] = {};
        int dags = 0;
        int vees = 0;
        std::uint32_t forward = 0;   // pair i oriented a -> b by some DAG
        std::uint32_t backward = 0;  // pair i oriented b -> a by some DAG
    };
    std::vector<Seen> table(std::size_t{1} << (n <= 5 ? 15 : 21));
    const std::size_t mask = table.size() - 1;
    const auto find = [&](std::uint64_t first, std::uint64_t second) -> Seen& {
        std::size_t slot = (first * 0x9e3779b97f4a7c15u ^ second * 0xc2b2ae3d27d4eb4fu) >> 20;
        for (;; ++slot) {
            Seen& seen = table[slot & mask];
            if (seen.dags == 0 || (seen.key[0] == first && seen.key[1] == second)) {
                seen.key[0] = first;
                seen.key[1] = second;
                return seen;
            }
        }
    };
    int index[8][8] = {};  // the pair of a < b
    for (int i = 0; i < p; ++i) {
        index[pairs[static_cast<std::size_t>(i)].first][pairs[static_cast<std::size_t>(i)].second] =
            i;
    }
    // Pair by pair: none, a -> b or b -> a, the latter two only when they
    // close no cycle (reach[v]: the vertices v reaches by arrows so far).
    struct State {
        std::uint32_t parents[8];
        std::uint32_t reach[8];
        std::uint32_t forward;
        std::uint32_t backward;
    };
    const auto with_arrow = [n](const State& from, int tail, int head) {
        State next = from;
        next.parents[head] |= std::uint32_t{1} << tail;
        const std::uint32_t gained = (std::uint32_t{1} << head) | from.reach[head];
        for (int x = 0; x < n; ++x) {
            if (x == tail || (from.reach[x] >> tail & 1) != 0) {
                next.reach[x] |= gained;
            }
        }
        return next;
    };
    const auto add_class = [&](const State& dag) {
        const std::uint32_t skeleton = dag.forward | dag.backward;
        std::uint64_t key[2] = {skeleton, 0};
        int vees = 0;
        for (int c = 0; c < n; ++c) {
            for (int a = 0; a < n; ++a) {
                for (int b = a + 1; b < n && (dag.parents[c] >> a & 1) != 0; ++b) {
                    const int i = index[a][b];
                    if ((dag.parents[c] >> b & 1) != 0 && (skeleton >> i & 1) == 0) {
                        const int bit = p + c * p + i;
                        key[bit / 64] |= std::uint64_t{1} << (bit % 64);
                        ++vees;
                    }
                }
            }
        }
        Seen& seen = find(key[0], key[1]);
        seen.dags += 1;
        seen.vees = vees;
        seen.forward |= dag.forward;
        seen.backward |= dag.backward;
    };
    const auto visit = [&](const auto& self, const State& dag, int i) -> void {
        if (i == p) {
            add_class(dag);
            return;
        }
        const auto [a, b] = pairs[static_cast<std::size_t>(i)];
        self(self, dag, i + 1);
        if ((dag.reach[b] >> a & 1) == 0) {
            State next = with_arrow(dag, a, b);
            next.forward |= std::uint32_t{1} << i;
            self(self, next, i + 1);
        }
        if ((dag.reach[a] >> b & 1) == 0) {
            State next = with_arrow(dag, b, a);
            next.backward |= std::uint32_t{1} << i;
            self(self, next, i + 1);
        }
    };
    visit(visit, State{}, 0);
    std::vector<ClassShape> shapes;
    for (const Seen& seen : table) {
        if (seen.dags == 0) {
            continue;
        }
        ClassShape shape;
        shape.size = seen.dags;
        shape.vees = seen.vees;
        // Chain components: the components of the lines, by relabelling.
        std::vector<int> component(n);
        for (int v = 0; v < n; ++v) {
            component[v] = v;
        }
        const std::uint32_t lines = seen.forward & seen.backward;
        for (int i = 0; i < p; ++i) {
            if ((lines >> i & 1) != 0) {
                ++shape.lines;
                const int from = component[pairs[static_cast<std::size_t>(i)].second];
                const int to = component[pairs[static_cast<std::size_t>(i)].first];
                for (int& c : component) {
                    c = c == from ? to : c;
                }
            }
        }
        std::vector<int> members(n, 0);
        for (int v = 0; v < n; ++v) {
            ++members[component[v]];
        }
        for (int m : members) {
            shape.chain_components += m >= 2 ? 1 : 0;
            shape.largest_chain_component = std::max(shape.largest_chain_component, m);
        }
        shapes.push_back(shape);
    }
    return shapes;
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
