#include "graph/amo_decomposition.hpp"

#include <algorithm>
#include <numeric>
#include <stdexcept>

namespace pellimor {

namespace {

std::size_t at(int v) {
    return static_cast<std::size_t>(v);
}

std::uint64_t hash_of(const std::vector<int>& key) {
    std::uint64_t h = 1469598103934665603ULL;
    for (const int v : key) {
        h = (h ^ static_cast<std::uint32_t>(v)) * 1099511628211ULL;
    }
    return h ^ (h >> 29);
}

}  // namespace

AmoDecomposition::AmoDecomposition(int k, std::vector<int> offsets, std::vector<int> targets)
    : k_(k), offsets_(std::move(offsets)), targets_(std::move(targets)) {
    if (k < 1 || offsets_.size() != at(k) + 1) {
        throw std::invalid_argument("AmoDecomposition: needs k >= 1 and k + 1 offsets");
    }
    local_of_.assign(at(k), -1);
    std::vector<int> all(at(k));
    std::iota(all.begin(), all.end(), 0);
    part_of(all, false);
    // Parts found while structuring are appended and structured in turn.
    for (int id = 0; id < part_count(); ++id) {
        structure(id);
    }
    // Factorials up to the largest clique: that of a clique part, or of a
    // clique of a general part's tree.
    int largest = 1;
    for (const Part& p : parts_) {
        largest = std::max(largest, p.kind == PartKind::CLIQUE ? p.size() : 0);
        for (int c = 0; p.kind == PartKind::GENERAL && c < p.tree.size(); ++c) {
            largest = std::max(largest, p.tree.clique_size(c));
        }
    }
    factorials_.assign(1, mpz_class(1));
    for (int i = 1; i <= largest; ++i) {
        factorials_.push_back(factorials_.back() * i);
    }
    // A part's groups are smaller than it: count the smallest first.
    std::vector<int> order(parts_.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return part(a).size() < part(b).size(); });
    for (const int id : order) {
        count_part(parts_[at(id)]);
    }
}

int AmoDecomposition::part_of(std::vector<int>& vertices, bool clique) {
    std::sort(vertices.begin(), vertices.end());
    const std::uint64_t hash = hash_of(vertices);
    std::vector<int>& same = by_hash_[hash];
    for (const int id : same) {
        if (part(id).vertices == vertices) {
            return id;
        }
    }
    same.push_back(part_count());
    Part& p = parts_.emplace_back();
    p.vertices = vertices;
    p.kind = PartKind::CLIQUE;
    p.structured = clique;  // a clique needs nothing more
    return part_count() - 1;
}

void AmoDecomposition::structure(int id) {
    Part& p = parts_[at(id)];
    if (p.structured) {
        return;
    }
    p.structured = true;
    const int k = p.size();
    // The induced subgraph on local indices.
    for (int i = 0; i < k; ++i) {
        local_of_[at(p.vertices[at(i)])] = i;
    }
    off_.assign(1, 0);
    tgt_.clear();
    for (const int v : p.vertices) {
        for (const int u : neighbours(v)) {
            if (local_of_[at(u)] >= 0) {
                tgt_.push_back(local_of_[at(u)]);
            }
        }
        off_.push_back(static_cast<int>(tgt_.size()));
    }
    for (const int v : p.vertices) {
        local_of_[at(v)] = -1;
    }
    const std::int64_t edges = static_cast<std::int64_t>(tgt_.size()) / 2;
    if (edges == static_cast<std::int64_t>(k) * (k - 1) / 2) {
        p.kind = PartKind::CLIQUE;
    } else if (edges == k - 1) {
        p.kind = PartKind::TREE;
        p.adjacency_begin = off_;
        p.adjacency = tgt_;
    } else {
        p.kind = PartKind::GENERAL;
        structure_general(p, k);
    }
}

void AmoDecomposition::structure_general(Part& p, int k) {
    CliqueTree& tree = p.tree;
    build_clique_tree(k, off_.data(), tgt_.data(), tree);
    const int m = tree.size();
    mark_.assign(at(k), 0);
    record_.assign(at(k), -1);
    int stamp = 0;

    // Forbidden prefixes of clique c: the separators S_l on the path to the
    // root with S_l inside K; walking up, X = K n S_c n ... holds every later
    // one, and a separator wholly inside X is the next (smaller) set.
    p.levels.assign(tree.members.size(), 0);
    p.forbidden_begin.assign(1, 0);
    p.forbidden_sizes.clear();
    std::vector<int> sizes;
    for (int c = 0; c < m; ++c) {
        int in_x = ++stamp;
        const int* clique = tree.clique(c);
        for (int i = 0; i < tree.clique_size(c); ++i) {
            mark_[at(clique[i])] = in_x;
            record_[at(clique[i])] = -1;
        }
        sizes.clear();
        for (int l = c, x_size = tree.clique_size(c); l > 0 && x_size > 0; l = tree.parent[at(l)]) {
            const int s = tree.sep_size[at(l)];
            const int* sep = tree.clique(l);
            const int next_x = ++stamp;
            int kept = 0;
            for (int i = 0; i < s; ++i) {
                if (mark_[at(sep[i])] == in_x) {
                    mark_[at(sep[i])] = next_x;
                    ++kept;
                }
            }
            if (kept == s && s > 0 && (sizes.empty() || sizes.back() != s)) {
                sizes.push_back(s);
                for (int i = 0; i < s; ++i) {
                    record_[at(sep[i])] = static_cast<int>(sizes.size()) - 1;
                }
            }
            in_x = next_x;
            x_size = kept;
        }
        const int r = static_cast<int>(sizes.size());
        for (int i = 0; i < tree.clique_size(c); ++i) {
            const int last = record_[at(clique[i])];
            p.levels[at(tree.begin[at(c)] + i)] = last < 0 ? r : r - 1 - last;
        }
        p.forbidden_sizes.insert(p.forbidden_sizes.end(), sizes.rbegin(), sizes.rend());
        p.forbidden_begin.push_back(static_cast<int>(p.forbidden_sizes.size()));
    }

    // The pieces. Piece from -> to: the flower of S (the separator of the
    // edge) on to's side, its groups, and the edges that leave it.
    pred_.assign(at(m), -1);
    join_.assign(at(m), -1);
    p.group_begin.assign(1, 0);
    p.exit_begin.assign(1, 0);
    p.groups.clear();
    p.exits.clear();
    auto edge_id = [&](int d, int e) { return e == tree.parent[at(d)] ? 2 * d + 1 : 2 * e; };
    auto find = [&](int c) {
        while (join_[at(c)] != c) {
            join_[at(c)] = join_[at(join_[at(c)])];
            c = join_[at(c)];
        }
        return c;
    };
    std::vector<int> new_groups;
    for (int piece = 0; piece < 2 * m; ++piece) {
        const int c = piece / 2;
        if (c > 0) {
            const int from = piece % 2 == 0 ? tree.parent[at(c)] : c;
            const int to = piece % 2 == 0 ? c : tree.parent[at(c)];
            const int s = tree.sep_size[at(c)];
            const int* sep = tree.clique(c);
            const int in_s = ++stamp;
            for (int i = 0; i < s; ++i) {
                mark_[at(sep[i])] = in_s;
            }
            flower_.assign(1, to);
            pred_[at(to)] = from;
            join_[at(to)] = to;
            auto visit = [&](int d, int e) {
                const int edge_child = std::max(d, e);
                const int size = tree.sep_size[at(edge_child)];
                int inside = 0;
                if (size >= s) {
                    const int* other = tree.clique(edge_child);
                    for (int i = 0; i < size; ++i) {
                        inside += mark_[at(other[i])] == in_s ? 1 : 0;
                    }
                }
                if (inside == s) {  // e holds S: it is in the flower
                    flower_.push_back(e);
                    pred_[at(e)] = d;
                    join_[at(e)] = e;
                    if (size > s) {
                        join_[at(find(e))] = find(d);
                    }
                } else {
                    p.exits.push_back(edge_id(d, e));
                }
            };
            for (std::size_t i = 0; i < flower_.size(); ++i) {
                const int d = flower_[i];
                if (tree.parent[at(d)] >= 0 && tree.parent[at(d)] != pred_[at(d)]) {
                    visit(d, tree.parent[at(d)]);
                }
                for (int j = tree.child_begin[at(d)]; j < tree.child_begin[at(d) + 1]; ++j) {
                    if (tree.children[at(j)] != pred_[at(d)]) {
                        visit(d, tree.children[at(j)]);
                    }
                }
            }
            // One group per root of the joined flower cliques: their vertices
            // outside S.
            for (const int d : flower_) {
                if (find(d) != d) {
                    continue;
                }
                bool lone = true;
                const int in_group = ++stamp;
                group_vertices_.clear();
                for (const int e : flower_) {
                    if (find(e) != d) {
                        continue;
                    }
                    lone = lone && e == d;
                    const int* members = tree.clique(e);
                    for (int i = 0; i < tree.clique_size(e); ++i) {
                        const int v = members[i];
                        if (mark_[at(v)] != in_s && mark_[at(v)] != in_group) {
                            mark_[at(v)] = in_group;
                            group_vertices_.push_back(p.vertices[at(v)]);
                        }
                    }
                }
                p.groups.push_back(part_of(group_vertices_, lone));
            }
        }
        p.group_begin.push_back(static_cast<int>(p.groups.size()));
        p.exit_begin.push_back(static_cast<int>(p.exits.size()));
    }
}

void AmoDecomposition::count_part(Part& p) {
    const int k = p.size();
    if (p.kind == PartKind::CLIQUE) {
        p.count = factorial(k);
        return;
    }
    if (p.kind == PartKind::TREE) {
        p.count = k;  // one AMO per root
        return;
    }
    const CliqueTree& tree = p.tree;
    const int m = tree.size();
    std::vector<mpz_class> value(2 * at(m));
    auto piece_value = [&](int piece) {
        mpz_class& v = value[at(piece)];
        v = 1;
        for (const int g : p.piece_groups(piece)) {
            v *= part(g).count;
        }
        for (const int e : p.piece_exits(piece)) {
            v *= value[at(e)];
        }
    };
    // Downward pieces lead on to deeper ones only; upward pieces to upward
    // pieces of ancestors and to downward pieces.
    for (int c = m - 1; c >= 1; --c) {
        piece_value(2 * c);
    }
    for (int c = 1; c < m; ++c) {
        piece_value(2 * c + 1);
    }
    // phi(K): with the forbidden prefixes X_1 < ... < X_r (sizes a_j) and
    // c = |K|, a permutation with a forbidden prefix has a shortest one, X_j:
    //   g_j = a_j! - sum_{i<j} g_i (a_j - a_i)!   (orders of X_j free of X_i)
    //   phi = c! - sum_j g_j (c - a_j)!.
    std::vector<mpz_class> g;
    p.cumulative.assign(at(m), mpz_class(0));
    mpz_class total = 0;
    mpz_class term;
    for (int c = 0; c < m; ++c) {
        const std::span<const int> a = p.forbidden(c);
        const int size = tree.clique_size(c);
        g.resize(a.size());
        term = factorial(size);
        for (std::size_t j = 0; j < a.size(); ++j) {
            g[j] = factorial(a[j]);
            for (std::size_t i = 0; i < j; ++i) {
                g[j] -= g[i] * factorial(a[j] - a[i]);
            }
            term -= g[j] * factorial(size - a[j]);
        }
        p.pieces_from(c, [&](int piece) { term *= value[at(piece)]; });
        total += term;
        p.cumulative[at(c)] = total;
    }
    p.count = total;
}

}  // namespace pellimor
