#include "graph/mixed_graph.hpp"

#include <algorithm>

namespace pellimor {

namespace {

// Counting sort of (row, target) entries into rows; each row then sorted.
template <typename Entries>
void fill_rows(int n, std::int64_t count, Entries entries, std::vector<std::int64_t>& begin,
               std::vector<int>& targets) {
    begin.assign(static_cast<std::size_t>(n) + 1, 0);
    entries([&](int row, int) { ++begin[static_cast<std::size_t>(row) + 1]; });
    for (int v = 0; v < n; ++v) {
        begin[static_cast<std::size_t>(v) + 1] += begin[static_cast<std::size_t>(v)];
    }
    targets.resize(static_cast<std::size_t>(count));
    std::vector<std::int64_t> fill(begin.begin(), begin.end() - 1);
    entries([&](int row, int target) {
        targets[static_cast<std::size_t>(fill[static_cast<std::size_t>(row)]++)] = target;
    });
    for (int v = 0; v < n; ++v) {
        const auto first = targets.begin() + begin[static_cast<std::size_t>(v)];
        const auto last = targets.begin() + begin[static_cast<std::size_t>(v) + 1];
        if (!std::is_sorted(first, last)) {  // edges often come in order
            std::sort(first, last);
        }
    }
}

}  // namespace

MixedAdjacency::MixedAdjacency(const MixedGraph& g) : n_(g.n) {
    const auto arrows = static_cast<std::int64_t>(g.arrows.size());
    const auto lines = static_cast<std::int64_t>(g.lines.size());
    fill_rows(
        n_, arrows,
        [&](auto add) {
            for (const VertexPair& a : g.arrows) {
                add(a.to, a.from);
            }
        },
        parents_.begin, parents_.targets);
    fill_rows(
        n_, arrows,
        [&](auto add) {
            for (const VertexPair& a : g.arrows) {
                add(a.from, a.to);
            }
        },
        children_.begin, children_.targets);
    fill_rows(
        n_, 2 * lines,
        [&](auto add) {
            for (const VertexPair& l : g.lines) {
                add(l.from, l.to);
                add(l.to, l.from);
            }
        },
        lines_.begin, lines_.targets);
    fill_rows(
        n_, 2 * (arrows + lines),
        [&](auto add) {
            for (const VertexPair& a : g.arrows) {
                add(a.from, a.to);
                add(a.to, a.from);
            }
            for (const VertexPair& l : g.lines) {
                add(l.from, l.to);
                add(l.to, l.from);
            }
        },
        neighbours_.begin, neighbours_.targets);
}

bool MixedAdjacency::adjacent(int u, int v) const {
    std::span<const int> a = neighbours(u);
    if (const std::span<const int> b = neighbours(v); b.size() < a.size()) {
        a = b;
        v = u;
    }
    return std::binary_search(a.begin(), a.end(), v);
}

}  // namespace pellimor
