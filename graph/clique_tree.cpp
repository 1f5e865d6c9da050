#include "graph/clique_tree.hpp"

#include <span>
#include <stdexcept>

#include "graph/cardinality_search.hpp"

namespace pellimor {

void build_clique_tree(int k, const int* offsets, const int* targets, CliqueTree& t) {
    t.begin.clear();
    t.members.clear();
    t.sep_size.clear();
    t.parent.clear();
    std::vector<int> when(static_cast<std::size_t>(k), -1);
    std::vector<int> clique_of(static_cast<std::size_t>(k), -1);
    int visited = 0;
    int previous_label = -1;
    auto neighbours = [&](int v) {
        return std::span<const int>(targets + offsets[v], targets + offsets[v + 1]);
    };
    maximum_cardinality_search(k, neighbours, [&](int v, int label) {
        if (visited == 0 || label <= previous_label) {
            t.begin.push_back(static_cast<int>(t.members.size()));
            int last = -1;
            for (const int u : neighbours(v)) {
                if (when[static_cast<std::size_t>(u)] >= 0) {
                    t.members.push_back(u);
                    if (last < 0 ||
                        when[static_cast<std::size_t>(u)] > when[static_cast<std::size_t>(last)]) {
                        last = u;
                    }
                }
            }
            if (visited > 0 && last < 0) {
                throw std::invalid_argument("clique tree: the graph is not connected");
            }
            t.sep_size.push_back(label);
            t.parent.push_back(last < 0 ? -1 : clique_of[static_cast<std::size_t>(last)]);
        }
        t.members.push_back(v);
        clique_of[static_cast<std::size_t>(v)] = t.size() - 1;
        when[static_cast<std::size_t>(v)] = visited++;
        previous_label = label;
    });
    t.begin.push_back(static_cast<int>(t.members.size()));
    const int m = t.size();
    t.child_begin.assign(static_cast<std::size_t>(m) + 1, 0);
    for (int c = 1; c < m; ++c) {
        ++t.child_begin[static_cast<std::size_t>(t.parent[static_cast<std::size_t>(c)]) + 1];
    }
    for (int c = 0; c < m; ++c) {
        t.child_begin[static_cast<std::size_t>(c) + 1] +=
            t.child_begin[static_cast<std::size_t>(c)];
    }
    t.children.assign(m > 0 ? static_cast<std::size_t>(m) - 1 : 0, 0);
    std::vector<int> fill(t.child_begin.begin(), t.child_begin.end() - 1);
    for (int c = 1; c < m; ++c) {
        t.children[static_cast<std::size_t>(
            fill[static_cast<std::size_t>(t.parent[static_cast<std::size_t>(c)])]++)] = c;
    }
}

}  // namespace pellimor
