#include "graph/topological_order.hpp"

#include <algorithm>
#include <bit>
#include <stdexcept>

namespace pellimor {

void TopologicalOrder::assign(const VertexRows& rows) {
    words_ = rows.words();
    const int n = rows.size();
    const auto size = static_cast<std::size_t>(n);
    position_.resize(size);
    vertex_at_.resize(size);
    seen_.assign(static_cast<std::size_t>(2) * words_, Word{0});
    forward_.resize(size);
    backward_.resize(size);
    places_.resize(size);
    // Place a vertex once all its parents are placed.
    std::vector<int>& parents_left = parents_left_;
    parents_left.assign(size, 0);
    int placed = 0;
    for (int v = 0; v < n; ++v) {
        const Word* parents = rows.row(VertexRows::PARENTS, v);
        for (int w = 0; w < words_; ++w) {
            parents_left[v] += std::popcount(parents[w]);
        }
        if (parents_left[v] == 0) {
            vertex_at_[placed++] = v;
        }
    }
    for (int k = 0; k < placed; ++k) {
        const int v = vertex_at_[k];
        position_[v] = k;
        const Word* children = rows.row(VertexRows::CHILDREN, v);
        all_bits(
            words_, [&](int w) { return children[w]; },
            [&](int c) {
                if (--parents_left[c] == 0) {
                    vertex_at_[placed++] = c;
                }
                return true;
            });
    }
    if (placed != n) {
        throw std::invalid_argument("TopologicalOrder: the arrows contain a directed cycle");
    }
}

template <int FixedWords>
bool TopologicalOrder::reaches(RowsView<FixedWords> rows, int from, int t1, int t2, int limit) {
    const int* position = position_.data();
    Word* seen = seen_.data();
    std::fill_n(seen, rows.words(), Word{0});
    int* stack = forward_.data();
    int size = 0;
    set_bit(seen, from);
    stack[size++] = from;
    bool found = false;
    while (size != 0 && !found) {
        const int v = stack[--size];
        const Word* ch_v = rows.ch(v);
        found = !all_bits(
            rows.words(), [&](int w) { return ch_v[w] & ~seen[w]; },
            [&](int u) {
                if (u == t1 || u == t2) {
                    return false;
                }
                if (position[u] < limit) {
                    set_bit(seen, u);
                    stack[size++] = u;
                }
                return true;
            });
    }
    return found;
}

// Dynamic topological sort of Pearce and Kelly. Only vertices placed between
// y and x move: those y reaches there (forward) go after those that reach x
// there (backward), into the same set of places, each group keeping its own
// relative order.
template <int FixedWords>
void TopologicalOrder::restore(RowsView<FixedWords> rows, int x, int y) {
    int* position = position_.data();
    int* vertex_at = vertex_at_.data();
    const int lower = position[y];
    const int upper = position[x];
    const int nw = rows.words();
    // The vertex lists double as breadth-first queues.
    auto collect = [&](int start, Word* seen, int* list, auto next, auto inside) {
        int size = 0;
        set_bit(seen, start);
        list[size++] = start;
        for (int k = 0; k < size; ++k) {
            const Word* row_v = next(list[k]);
            all_bits(
                nw, [&](int w) { return row_v[w] & ~seen[w]; },
                [&](int u) {
                    if (inside(position[u])) {
                        set_bit(seen, u);
                        list[size++] = u;
                    }
                    return true;
                });
        }
        return size;
    };
    std::fill_n(seen_.data(), 2 * nw, Word{0});
    int* forward = forward_.data();
    int* backward = backward_.data();
    const int n_forward = collect(
        y, seen_.data(), forward, [&](int v) { return rows.ch(v); },
        [&](int p) { return p < upper; });
    const int n_backward = collect(
        x, seen_.data() + nw, backward, [&](int v) { return rows.pa(v); },
        [&](int p) { return p > lower; });

    auto by_position = [&](int a, int b) { return position[a] < position[b]; };
    std::sort(forward, forward + n_forward, by_position);
    std::sort(backward, backward + n_backward, by_position);
    int* places = places_.data();
    int n_places = 0;
    int f = 0;
    int b = 0;
    while (f < n_forward || b < n_backward) {
        if (b == n_backward || (f < n_forward && position[forward[f]] < position[backward[b]])) {
            places[n_places++] = position[forward[f++]];
        } else {
            places[n_places++] = position[backward[b++]];
        }
    }
    int next = 0;
    for (int k = 0; k < n_backward; ++k) {
        position[backward[k]] = places[next];
        vertex_at[places[next++]] = backward[k];
    }
    for (int k = 0; k < n_forward; ++k) {
        position[forward[k]] = places[next];
        vertex_at[places[next++]] = forward[k];
    }
}

bool TopologicalOrder::consistent_with(const VertexRows& rows) const {
    const int n = rows.size();
    if (static_cast<int>(position_.size()) != n) {
        return false;
    }
    for (int v = 0; v < n; ++v) {
        if (position_[v] < 0 || position_[v] >= n || vertex_at_[position_[v]] != v) {
            return false;
        }
        for (int c = 0; c < n; ++c) {
            if (rows.has(VertexRows::CHILDREN, v, c) && position_[v] >= position_[c]) {
                return false;
            }
        }
    }
    return true;
}

template bool TopologicalOrder::reaches(RowsView<0>, int, int, int, int);
template bool TopologicalOrder::reaches(RowsView<1>, int, int, int, int);
template bool TopologicalOrder::reaches(RowsView<2>, int, int, int, int);
template bool TopologicalOrder::reaches(RowsView<3>, int, int, int, int);
template bool TopologicalOrder::reaches(RowsView<4>, int, int, int, int);
template bool TopologicalOrder::reaches(RowsView<5>, int, int, int, int);
template void TopologicalOrder::restore(RowsView<0>, int, int);
template void TopologicalOrder::restore(RowsView<1>, int, int);
template void TopologicalOrder::restore(RowsView<2>, int, int);
template void TopologicalOrder::restore(RowsView<3>, int, int);
template void TopologicalOrder::restore(RowsView<4>, int, int);
template void TopologicalOrder::restore(RowsView<5>, int, int);

}  // namespace pellimor
