#pragma once

// Test support: every mixed graph on a few vertices, and the admissible ones.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "graph/admissibility.hpp"
#include "graph/edge_matrix.hpp"

namespace pellimor::testing {

// A number that names m cell by cell (base 3), for counting graphs in a map.
inline std::uint64_t key_of(const EdgeMatrix& m) {
    std::uint64_t key = 0;
    for (int r = 0; r < m.size(); ++r) {
        for (int c = 0; c < m.size(); ++c) {
            key = key * 3 + static_cast<std::uint64_t>(m[r][c]);
        }
    }
    return key;
}

// Sets the pair a, b of m by `choice`: 1 a -> b, 2 b -> a, 3 a line, any
// other value nothing.
inline void set_pair(EdgeMatrix& m, int a, int b, int choice) {
    m[a][b] = m[b][a] = EDGE_NONE;
    switch (choice) {
        case 1:
            m[a][b] = EDGE_ARROW;
            break;
        case 2:
            m[b][a] = EDGE_ARROW;
            break;
        case 3:
            m[a][b] = m[b][a] = EDGE_LINE;
            break;
        default:
            break;
    }
}

// Calls visit(m) for each of the 4^(n(n-1)/2) mixed graphs on n vertices:
// every pair holds nothing, an arrow either way, or a line.
template <typename Visit>
void for_each_mixed_graph(int n, Visit visit) {
    std::vector<std::pair<int, int>> pairs;
    for (int a = 0; a < n; ++a) {
        for (int b = a + 1; b < n; ++b) {
            pairs.emplace_back(a, b);
        }
    }
    std::vector<int> choice(pairs.size(), 0);
    EdgeMatrix m(n);
    for (;;) {
        visit(static_cast<const EdgeMatrix&>(m));
        // Next choice vector, as a base-4 counter; rewrite the changed pairs.
        std::size_t p = 0;
        while (p < pairs.size() && choice[p] == 3) {
            choice[p] = 0;
            ++p;
        }
        if (p == pairs.size()) {
            return;
        }
        ++choice[p];
        for (std::size_t q = 0; q <= p; ++q) {
            set_pair(m, pairs[q].first, pairs[q].second, choice[q]);
        }
    }
}

inline std::vector<EdgeMatrix> admissible_graphs(int n) {
    std::vector<EdgeMatrix> graphs;
    for_each_mixed_graph(n, [&](const EdgeMatrix& m) {
        if (is_admissible(m)) {
            graphs.push_back(m);
        }
    });
    return graphs;
}

// "0->1 2-3" style edge list, for failure messages.
inline std::string edge_list(const EdgeMatrix& m) {
    std::string text;
    for (int a = 0; a < m.size(); ++a) {
        for (int b = 0; b < m.size(); ++b) {
            if (m[a][b] == EDGE_ARROW || (m[a][b] == EDGE_LINE && a < b)) {
                text += std::to_string(a) + (m[a][b] == EDGE_ARROW ? "->" : "-") +
                        std::to_string(b) + " ";
            }
        }
    }
    return text.empty() ? "(no edges)" : text;
}

// Builds a graph from edges: {a, b, EDGE_ARROW} is a -> b, EDGE_LINE a - b.
struct Edge {
    int a;
    int b;
    EdgeCode code;
};
inline EdgeMatrix make_graph(int n, std::initializer_list<Edge> edges) {
    EdgeMatrix m(n);
    for (const auto& [a, b, code] : edges) {
        m[a][b] = code;
        if (code == EDGE_LINE) {
            m[b][a] = EDGE_LINE;
        }
    }
    return m;
}

}  // namespace pellimor::testing
