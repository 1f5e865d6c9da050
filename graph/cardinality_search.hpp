#pragma once

// Maximum cardinality search (Tarjan and Yannakakis): visit the vertices one
// by one, each time one with the most visited neighbours. On a chordal graph
// the reverse of the visit order is a perfect elimination order, and the
// order is where clique trees and chordality certificates start. Components
// are visited one after another, each whole before the next.

#include <span>
#include <vector>

namespace pellimor {

// Visits the k vertices of the undirected graph whose neighbours of v are
// neighbours(v) (a range of ints), calling visit(v, label) in visit order,
// label being the number of v's neighbours visited before it. O(k + edges).
template <typename Neighbours, typename Visit>
void maximum_cardinality_search(int k, Neighbours&& neighbours, Visit&& visit) {
    std::vector<int> label(static_cast<std::size_t>(k), 0);
    std::vector<int> head(static_cast<std::size_t>(k) + 1, -1);
    std::vector<int> next(static_cast<std::size_t>(k), -1);
    std::vector<int> prev(static_cast<std::size_t>(k), -1);
    std::vector<char> visited(static_cast<std::size_t>(k), 0);
    auto at = [](std::vector<int>& v, int i) -> int& { return v[static_cast<std::size_t>(i)]; };
    // Unvisited vertices in doubly linked buckets by label.
    auto unlink = [&](int v) {
        if (at(prev, v) >= 0) {
            at(next, at(prev, v)) = at(next, v);
        } else {
            at(head, at(label, v)) = at(next, v);
        }
        if (at(next, v) >= 0) {
            at(prev, at(next, v)) = at(prev, v);
        }
    };
    auto link = [&](int v) {
        at(prev, v) = -1;
        at(next, v) = at(head, at(label, v));
        if (at(next, v) >= 0) {
            at(prev, at(next, v)) = v;
        }
        at(head, at(label, v)) = v;
    };
    for (int v = k - 1; v >= 0; --v) {
        link(v);
    }
    int top = 0;
    for (int i = 0; i < k; ++i) {
        while (at(head, top) < 0) {
            --top;
        }
        const int v = at(head, top);
        unlink(v);
        visited[static_cast<std::size_t>(v)] = 1;
        visit(v, at(label, v));
        for (const int u : neighbours(v)) {
            if (visited[static_cast<std::size_t>(u)] == 0) {
                unlink(u);
                ++at(label, u);
                link(u);
                top = top > at(label, u) ? top : at(label, u);
            }
        }
    }
}

}  // namespace pellimor
