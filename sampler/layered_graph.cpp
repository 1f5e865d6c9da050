#include "sampler/layered_graph.hpp"

#include <algorithm>

namespace pellimor {

LayeredGraph::LayeredGraph(int n) {
    const auto size = static_cast<std::size_t>(n);
    component_.reserve(size);
    parents_.resize(size);
    line_lists_.resize(size);
    dag_row_start_.reserve(size + 1);
    stamp_.assign(size, 0);
    component_stamp_.assign(size, 0);
    touches_.assign(size, 0);
    toucher_.assign(size, 0);
    clear();
}

void LayeredGraph::clear() {
    for (std::size_t v = 0; v < component_.size(); ++v) {
        line_lists_[v].clear();
    }
    component_.clear();
    dag_row_start_.assign(1, 0);
    dag_rows_.clear();
    components_ = 0;
    lines_count_ = 0;
    arrows_count_ = 0;
}

std::uint32_t LayeredGraph::next_stamp() {
    if (++stamp_now_ == 0) {
        std::fill(stamp_.begin(), stamp_.end(), 0);
        std::fill(component_stamp_.begin(), component_stamp_.end(), 0);
        stamp_now_ = 1;
    }
    return stamp_now_;
}

bool LayeredGraph::is_line(int u, int v) const {
    const auto& list = line_lists_[static_cast<std::size_t>(u)];
    return std::find(list.begin(), list.end(), v) != list.end();
}

void LayeredGraph::decide(const LevelRows& rows, int p) {
    const auto piece = static_cast<std::size_t>(p);
    const int* x = rows.row.data() + rows.row_start[piece];
    const int size = rows.row_start[piece + 1] - rows.row_start[piece];
    joined_[piece] = -1;
    k_size_[piece] = 0;
    const std::uint32_t in_row = next_stamp();
    for (int i = 0; i < size; ++i) {
        stamp_[static_cast<std::size_t>(x[i])] = in_row;
    }
    for (int i = 0; i < size; ++i) {
        const int s = component_[static_cast<std::size_t>(x[i])];
        if (component_stamp_[static_cast<std::size_t>(s)] == in_row) {
            continue;  // tried
        }
        component_stamp_[static_cast<std::size_t>(s)] = in_row;
        const std::vector<int>& parents = parents_[static_cast<std::size_t>(s)];
        const int k = size - static_cast<int>(parents.size());
        if (k < 1) {
            continue;
        }
        bool fits = std::all_of(parents.begin(), parents.end(), [&](int q) {
            return stamp_[static_cast<std::size_t>(q)] == in_row;
        });
        // The rest of X must lie in s, pairwise joined by lines.
        int inside = 0;
        for (int j = 0; fits && j < size; ++j) {
            if (component_[static_cast<std::size_t>(x[j])] != s) {
                continue;
            }
            ++inside;
            int joined = 0;
            for (const int w : line_lists_[static_cast<std::size_t>(x[j])]) {
                if (stamp_[static_cast<std::size_t>(w)] == in_row &&
                    component_[static_cast<std::size_t>(w)] == s) {
                    ++joined;
                }
            }
            fits = joined == k - 1;
        }
        if (fits && inside == k) {
            joined_[piece] = s;
            k_size_[piece] = k;
            return;
        }
    }
}

void LayeredGraph::attach(const LevelRows& rows, int p, int first_vertex) {
    const auto piece = static_cast<std::size_t>(p);
    const int* x = rows.row.data() + rows.row_start[piece];
    const int size = rows.row_start[piece + 1] - rows.row_start[piece];
    const int b = rows.size[piece];
    int s = joined_[piece];
    if (s < 0) {
        s = components_++;
        auto& parents = parents_[static_cast<std::size_t>(s)];
        parents.assign(x, x + size);
        arrows_count_ += static_cast<std::int64_t>(b) * size;
    } else {
        arrows_count_ += static_cast<std::int64_t>(b) * (size - k_size_[piece]);
        lines_count_ += static_cast<std::int64_t>(b) * k_size_[piece];
    }
    lines_count_ += static_cast<std::int64_t>(b) * (b - 1) / 2;
    for (int i = 0; i < b; ++i) {
        const int v = first_vertex + i;
        component_.push_back(s);
        auto& own = line_lists_[static_cast<std::size_t>(v)];
        if (joined_[piece] >= 0) {
            for (int j = 0; j < size; ++j) {
                if (component_[static_cast<std::size_t>(x[j])] == s) {
                    own.push_back(x[j]);
                    line_lists_[static_cast<std::size_t>(x[j])].push_back(v);
                }
            }
        }
        for (int j = 0; j < i; ++j) {
            own.push_back(first_vertex + j);
            line_lists_[static_cast<std::size_t>(first_vertex + j)].push_back(v);
        }
        dag_rows_.insert(dag_rows_.end(), x, x + size);
        for (int j = 0; j < i; ++j) {
            dag_rows_.push_back(first_vertex + j);
        }
        dag_row_start_.push_back(static_cast<int>(dag_rows_.size()));
    }
}

bool LayeredGraph::add_level(const LevelRows& rows, int below_first, int below_count) {
    const auto pieces = static_cast<std::size_t>(rows.pieces());
    joined_.resize(pieces);
    k_size_.resize(pieces);
    for (int p = 0; p < rows.pieces(); ++p) {
        decide(rows, p);
    }
    // The level below: each of its vertices was removable; it stays so when
    // one piece alone touches it and joins its component with K = w and all
    // of w's line neighbours.
    for (int w = below_first; w < below_first + below_count; ++w) {
        touches_[static_cast<std::size_t>(w)] = 0;
    }
    for (int p = 0; p < rows.pieces(); ++p) {
        const auto piece = static_cast<std::size_t>(p);
        for (int i = rows.row_start[piece]; i < rows.row_start[piece + 1]; ++i) {
            const int w = rows.row[static_cast<std::size_t>(i)];
            if (w >= below_first) {
                ++touches_[static_cast<std::size_t>(w)];
                toucher_[static_cast<std::size_t>(w)] = p;
            }
        }
    }
    for (int w = below_first; w < below_first + below_count; ++w) {
        const auto vertex = static_cast<std::size_t>(w);
        if (touches_[vertex] != 1) {
            continue;
        }
        const auto piece = static_cast<std::size_t>(toucher_[vertex]);
        if (joined_[piece] == component_[vertex] &&
            k_size_[piece] == 1 + static_cast<int>(line_lists_[vertex].size())) {
            return false;
        }
    }
    int first = size();
    for (int p = 0; p < rows.pieces(); ++p) {
        attach(rows, p, first);
        first += rows.size[static_cast<std::size_t>(p)];
    }
    return true;
}

void LayeredGraph::write_dag(OrderedDag& dag) const {
    dag.resize(size());
    for (int v = 0; v < size(); ++v) {
        Word* row = dag.parents(v);
        for (int i = dag_row_start_[static_cast<std::size_t>(v)];
             i < dag_row_start_[static_cast<std::size_t>(v) + 1]; ++i) {
            const int u = dag_rows_[static_cast<std::size_t>(i)];
            set_bit(row, u);
        }
    }
}

}  // namespace pellimor
