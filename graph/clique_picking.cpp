#include "graph/clique_picking.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>
#include <stdexcept>
#include <vector>

namespace pellimor {

namespace {

using Count = long double;

// k! as a long double: exact while below 2^64 (k <= 20), +inf from 1755 on.
// The table stops there even where long double products saturate instead of
// overflowing (valgrind computes them in double precision and clamps to the
// largest long double), so that the program also runs under callgrind.
Count factorial(int k) {
    static const std::vector<Count> table = [] {
        std::vector<Count> t{1};
        while (std::isfinite(t.back()) && t.size() <= 1755) {
            t.push_back(t.back() * static_cast<Count>(t.size()));
        }
        return t;
    }();
    return k < static_cast<int>(table.size()) ? table[static_cast<std::size_t>(k)] : table.back();
}

// The permutations of c elements with no prefix among nested sets of the
// given sizes (increasing, all below c); free_orders is scratch.
Count orders_without_prefixes(int c, std::span<const int> sizes, std::vector<Count>& free_orders) {
    if (!std::isfinite(factorial(c))) {
        return std::numeric_limits<Count>::infinity();  // at least (c-1)!: past any range
    }
    free_orders.resize(sizes.size());
    Count result = factorial(c);
    for (std::size_t j = 0; j < sizes.size(); ++j) {
        Count gj = factorial(sizes[j]);
        for (std::size_t i = 0; i < j; ++i) {
            gj -= free_orders[i] * factorial(sizes[j] - sizes[i]);
        }
        free_orders[j] = gj;
        result -= gj * factorial(c - sizes[j]);
    }
    return result;
}

std::uint64_t hash_of(const std::vector<int>& key) {
    std::uint64_t h = 1469598103934665603ULL;
    for (const int v : key) {
        h = (h ^ static_cast<std::uint32_t>(v)) * 1099511628211ULL;
    }
    return h ^ (h >> 29);
}

}  // namespace

// A clique tree of a connected chordal graph, from maximum cardinality search
// (Blair and Peyton): visiting v_1, v_2, ..., a new maximal clique starts at
// v_i when its number of visited neighbours does not exceed that of v_{i-1};
// it is those neighbours plus v_i, and its parent is the clique of the
// neighbour visited last; the neighbours are the separator.
void CliquePicking::build_tree(Frame& f, int k) {
    const std::vector<int>& off = f.off;
    const std::vector<int>& tgt = f.tgt;
    std::vector<int>& label = f.label;
    std::vector<int>& head = f.head;
    std::vector<int>& next = f.next;
    std::vector<int>& prev = f.prev;
    std::vector<int>& when = f.when;
    label.assign(k, 0);
    head.assign(k, -1);
    next.assign(k, -1);
    prev.assign(k, -1);
    when.assign(k, -1);
    f.clique_of.assign(k, -1);
    // Unvisited vertices in doubly linked buckets by label.
    auto unlink = [&](int v) {
        if (prev[v] >= 0) {
            next[prev[v]] = next[v];
        } else {
            head[label[v]] = next[v];
        }
        if (next[v] >= 0) {
            prev[next[v]] = prev[v];
        }
    };
    auto link = [&](int v) {
        prev[v] = -1;
        next[v] = head[label[v]];
        if (next[v] >= 0) {
            prev[next[v]] = v;
        }
        head[label[v]] = v;
    };
    for (int v = k - 1; v >= 0; --v) {
        link(v);
    }
    CliqueTree& t = f.tree;
    t.begin.clear();
    t.members.clear();
    t.sep_size.clear();
    t.parent.clear();
    int top = 0;
    int previous_label = -1;
    for (int i = 0; i < k; ++i) {
        while (head[top] < 0) {
            --top;
        }
        const int v = head[top];
        unlink(v);
        when[v] = i;
        if (i == 0 || label[v] <= previous_label) {
            t.begin.push_back(static_cast<int>(t.members.size()));
            int last = -1;
            for (int e = off[v]; e < off[v + 1]; ++e) {
                const int u = tgt[e];
                if (when[u] >= 0 && u != v) {
                    t.members.push_back(u);
                    if (last < 0 || when[u] > when[last]) {
                        last = u;
                    }
                }
            }
            if (i > 0 && last < 0) {
                throw std::invalid_argument("CliquePicking: the graph is not connected");
            }
            t.sep_size.push_back(label[v]);
            t.parent.push_back(last < 0 ? -1 : f.clique_of[last]);
        }
        t.members.push_back(v);
        f.clique_of[v] = t.size() - 1;
        previous_label = label[v];
        for (int e = off[v]; e < off[v + 1]; ++e) {
            const int u = tgt[e];
            if (when[u] < 0) {
                unlink(u);
                ++label[u];
                link(u);
                top = std::max(top, label[u]);
            }
        }
    }
    t.begin.push_back(static_cast<int>(t.members.size()));
    const int m = t.size();
    t.child_begin.assign(m + 1, 0);
    for (int c = 1; c < m; ++c) {
        ++t.child_begin[t.parent[c] + 1];
    }
    for (int c = 0; c < m; ++c) {
        t.child_begin[c + 1] += t.child_begin[c];
    }
    t.children.assign(m > 0 ? m - 1 : 0, 0);
    f.fill.assign(t.child_begin.begin(), t.child_begin.end() - 1);
    for (int c = 1; c < m; ++c) {
        t.children[f.fill[t.parent[c]]++] = c;
    }
}

const CliquePicking::Count* CliquePicking::find_known(const std::vector<int>& key,
                                                      std::uint64_t hash) const {
    if (known_.empty()) {
        return nullptr;
    }
    const std::size_t mask = known_.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const Known& entry = known_[slot];
        if (entry.length == 0) {
            return nullptr;
        }
        if (entry.hash == hash && entry.length == static_cast<int>(key.size()) &&
            std::equal(key.begin(), key.end(), key_pool_.begin() + entry.offset)) {
            return &entry.value;
        }
    }
}

void CliquePicking::add_known(const std::vector<int>& key, std::uint64_t hash, Count value) {
    if (2 * (known_used_.size() + 1) > known_.size()) {
        // Grow to twice the size (at least 64 slots) and place the entries again.
        std::vector<Known> old;
        old.swap(known_);
        known_.assign(std::max<std::size_t>(64, 2 * old.size()), Known{});
        const std::size_t mask = known_.size() - 1;
        for (std::size_t& used : known_used_) {
            std::size_t slot = old[used].hash & mask;
            while (known_[slot].length != 0) {
                slot = (slot + 1) & mask;
            }
            known_[slot] = old[used];
            used = slot;
        }
    }
    const std::size_t mask = known_.size() - 1;
    std::size_t slot = hash & mask;
    while (known_[slot].length != 0) {
        slot = (slot + 1) & mask;
    }
    known_[slot] =
        Known{hash, static_cast<int>(key_pool_.size()), static_cast<int>(key.size()), value};
    key_pool_.insert(key_pool_.end(), key.begin(), key.end());
    known_used_.push_back(slot);
}

double CliquePicking::count(const AdjacencyLists& g, OrientationMemo* memo) {
    std::vector<int> offsets{0};
    std::vector<int> targets;
    for (const auto& neighbours : g) {
        targets.insert(targets.end(), neighbours.begin(), neighbours.end());
        offsets.push_back(static_cast<int>(targets.size()));
    }
    return count(static_cast<int>(g.size()), offsets.data(), targets.data(), memo);
}

double CliquePicking::count(int k, const int* offsets, const int* targets, OrientationMemo* memo) {
    memo_ = memo;
    offsets_ = offsets;
    targets_ = targets;
    if (static_cast<int>(local_.size()) < k) {
        local_.assign(static_cast<std::size_t>(k), -1);
    }
    for (const std::size_t used : known_used_) {
        known_[used].length = 0;
    }
    known_used_.clear();
    key_pool_.clear();
    std::vector<int>& all = frame(0).vertices;
    all.resize(static_cast<std::size_t>(k));
    for (int v = 0; v < k; ++v) {
        all[static_cast<std::size_t>(v)] = v;
    }
    return static_cast<double>(count_induced(0));
}

CliquePicking::Count CliquePicking::closed_form(int k, std::int64_t edges) const {
    if (options_.closed_forms && edges == k - 1) {
        return k;  // a tree: one AMO per root
    }
    if (options_.closed_forms && edges == static_cast<std::int64_t>(k) * (k - 1) / 2) {
        return factorial(k);  // a clique: every order
    }
    return -1;
}

CliquePicking::Frame& CliquePicking::frame(std::size_t depth) {
    auto at = frames_.begin();
    for (std::size_t d = 0; d < depth && at != frames_.end(); ++d) {
        ++at;
    }
    while (frames_.size() <= depth) {
        at = frames_.emplace(frames_.end());
    }
    return *at;
}

CliquePicking::Count CliquePicking::count_induced(std::size_t depth) {
    Frame& f = frame(depth);
    const std::vector<int>& vertices = f.vertices;
    const int k = static_cast<int>(vertices.size());
    if (k <= 2) {
        return k == 2 ? 2 : 1;
    }
    const std::uint64_t hash = hash_of(vertices);
    if (const Count* known = find_known(vertices, hash); known != nullptr) {
        return *known;
    }
    // The subgraph with vertices renamed 0 .. k-1.
    f.off.assign(static_cast<std::size_t>(k) + 1, 0);
    f.tgt.clear();
    for (int i = 0; i < k; ++i) {
        local_[static_cast<std::size_t>(vertices[static_cast<std::size_t>(i)])] = i;
    }
    for (int i = 0; i < k; ++i) {
        const int v = vertices[static_cast<std::size_t>(i)];
        for (int e = offsets_[v]; e < offsets_[v + 1]; ++e) {
            const int u = local_[static_cast<std::size_t>(targets_[e])];
            if (u >= 0) {
                f.tgt.push_back(u);
            }
        }
        f.off[static_cast<std::size_t>(i) + 1] = static_cast<int>(f.tgt.size());
    }
    for (const int v : vertices) {
        local_[static_cast<std::size_t>(v)] = -1;
    }
    const std::int64_t edges = static_cast<std::int64_t>(f.tgt.size()) / 2;
    if (const Count closed = closed_form(k, edges); closed >= 0) {
        return closed;
    }
    if (memo_ != nullptr && k <= options_.small && k <= memo_->limit()) {
        f.masks.assign(static_cast<std::size_t>(k), 0);
        for (int i = 0; i < k; ++i) {
            for (int e = f.off[i]; e < f.off[i + 1]; ++e) {
                f.masks[static_cast<std::size_t>(i)] |= std::uint32_t{1} << f.tgt[e];
            }
        }
        const Count value = static_cast<Count>(memo_->count(f.masks));
        add_known(vertices, hash, value);
        return value;
    }

    build_tree(f, k);
    const CliqueTree& tree = f.tree;
    const int m = tree.size();
    std::vector<int>& group = frame(depth + 1).vertices;

    // Vertex marks by stamp, and per-clique scratch for the flower walks.
    std::vector<int>& mark = f.mark;
    mark.assign(static_cast<std::size_t>(k), 0);
    int stamp = 0;
    std::vector<int>& flower = f.flower;
    std::vector<int>& pred = f.pred;
    std::vector<int>& join = f.join;
    std::vector<int>& group_head = f.group_head;
    std::vector<int>& group_next = f.group_next;
    pred.assign(m, -1);
    join.assign(m, -1);
    group_head.assign(m, -1);
    group_next.assign(m, -1);
    std::vector<Count>& piece = f.piece;
    piece.assign(2 * static_cast<std::size_t>(m), 1);
    // Directed edge d -> e of the tree: 2e when e is d's child, 2d+1 when it
    // is d's parent. A tree edge's separator is its child's.
    auto edge_id = [&](int d, int e) { return e == tree.parent[d] ? 2 * d + 1 : 2 * e; };
    auto find = [&](int c) {
        while (join[c] != c) {
            join[c] = join[join[c]];
            c = join[c];
        }
        return c;
    };
    auto compute_piece = [&](int from, int to) -> Count {
        const int child = std::max(from, to);
        const int s = tree.sep_size[child];
        const int* sep = tree.clique(child);
        const int in_s = ++stamp;
        for (int i = 0; i < s; ++i) {
            mark[sep[i]] = in_s;
        }
        flower.assign(1, to);
        pred[to] = from;
        join[to] = to;
        Count value = 1;
        auto visit = [&](int d, int e) {
            const int c = std::max(d, e);
            const int size = tree.sep_size[c];
            int inside = 0;
            if (size >= s) {
                const int* other = tree.clique(c);
                for (int i = 0; i < size; ++i) {
                    inside += mark[other[i]] == in_s ? 1 : 0;
                }
            }
            if (inside == s) {  // e holds S: it is in the flower
                flower.push_back(e);
                pred[e] = d;
                join[e] = e;
                if (size > s) {
                    join[find(e)] = find(d);
                }
            } else {
                value *= piece[static_cast<std::size_t>(edge_id(d, e))];
            }
        };
        for (std::size_t i = 0; i < flower.size(); ++i) {
            const int d = flower[i];
            if (tree.parent[d] >= 0 && tree.parent[d] != pred[d]) {
                visit(d, tree.parent[d]);
            }
            for (int j = tree.child_begin[d]; j < tree.child_begin[d + 1]; ++j) {
                if (tree.children[j] != pred[d]) {
                    visit(d, tree.children[j]);
                }
            }
        }
        // The groups of flower cliques, as lists by their roots; a lone
        // clique D gives (|D| - |S|)!, a larger group its own count.
        for (const int d : flower) {
            group_head[d] = -1;
        }
        for (const int d : flower) {
            const int root = find(d);
            group_next[d] = group_head[root];
            group_head[root] = d;
        }
        for (const int d : flower) {
            if (group_head[d] < 0) {
                continue;
            }
            if (group_next[group_head[d]] < 0) {
                value *= factorial(tree.clique_size(d) - s);
                continue;
            }
            const int in_group = ++stamp;
            group.clear();
            for (int e = group_head[d]; e >= 0; e = group_next[e]) {
                const int* members = tree.clique(e);
                for (int i = 0; i < tree.clique_size(e); ++i) {
                    const int v = members[i];
                    if (mark[v] != in_s && mark[v] != in_group) {
                        mark[v] = in_group;
                        group.push_back(vertices[static_cast<std::size_t>(v)]);
                    }
                }
            }
            std::sort(group.begin(), group.end());
            value *= count_induced(depth + 1);  // a smaller connected chordal graph
        }
        return value;
    };
    for (int c = m - 1; c >= 1; --c) {
        piece[2 * static_cast<std::size_t>(c)] = compute_piece(tree.parent[c], c);
    }
    for (int c = 1; c < m; ++c) {
        piece[2 * static_cast<std::size_t>(c) + 1] = compute_piece(c, tree.parent[c]);
    }

    Count total = 0;
    std::vector<int>& sizes = f.sizes;
    for (int c = 0; c < m; ++c) {
        // Forbidden prefixes: separators S_l on the path to the root with
        // S_l inside K; walking up, X = K n S_m n ... holds every later one.
        int in_x = ++stamp;
        const int* clique = tree.clique(c);
        for (int i = 0; i < tree.clique_size(c); ++i) {
            mark[clique[i]] = in_x;
        }
        sizes.clear();
        for (int l = c, x_size = tree.clique_size(c); l > 0 && x_size > 0; l = tree.parent[l]) {
            const int s = tree.sep_size[l];
            const int* sep = tree.clique(l);
            const int next_x = ++stamp;
            int kept = 0;
            for (int i = 0; i < s; ++i) {
                if (mark[sep[i]] == in_x) {
                    mark[sep[i]] = next_x;
                    ++kept;
                }
            }
            if (kept == s && (sizes.empty() || sizes.back() != s)) {
                sizes.push_back(s);
            }
            in_x = next_x;
            x_size = kept;
        }
        std::reverse(sizes.begin(), sizes.end());
        Count term = orders_without_prefixes(tree.clique_size(c), sizes, f.free_orders);
        if (c > 0) {
            term *= piece[2 * static_cast<std::size_t>(c) + 1];
        }
        for (int j = tree.child_begin[c]; j < tree.child_begin[c + 1]; ++j) {
            term *= piece[2 * static_cast<std::size_t>(tree.children[j])];
        }
        total += term;
    }
    add_known(vertices, hash, total);
    return total;
}

}  // namespace pellimor
