#include "graph/dag_lister.hpp"

#include <algorithm>
#include <numeric>

namespace pellimor {

namespace {

std::size_t at(int v) {
    return static_cast<std::size_t>(v);
}

using Part = AmoDecomposition::Part;
using PartKind = AmoDecomposition::PartKind;

}  // namespace

// The AMOs of one part, written as positions base, base + 1, ... of its
// vertices in a topological order.
struct DagLister::Cursor {
    const AmoDecomposition* d = nullptr;
    const Part* part = nullptr;
    const int* global = nullptr;  // the component's vertex ids
    int* position = nullptr;
    int base = 0;

    // The order of `items` (ids of the decomposition): the clique's orders,
    // or those of the prefix clique of a general part, whose items have
    // levels and forbidden prefix lengths.
    std::vector<int> items, perm, level, forbidden_at, max_level;
    bool constrained = false;
    int root = 0;    // a tree's root, as a local index
    int clique = 0;  // a general part's prefix clique
    std::vector<Cursor> children;

    void start(const AmoDecomposition& decomposition, int part_id, const int* ids, int* where,
               int first) {
        d = &decomposition;
        part = &d->part(part_id);
        global = ids;
        position = where;
        base = first;
        switch (part->kind) {
            case PartKind::CLIQUE:
                set_items(part->vertices, {}, {});
                write_perm();
                break;
            case PartKind::TREE:
                root = 0;
                write_tree();
                break;
            case PartKind::GENERAL:
                set_clique(0);
                break;
        }
    }

    // The next AMO; false (and the first again) after the last.
    bool advance() {
        switch (part->kind) {
            case PartKind::CLIQUE:
                if (next_perm()) {
                    write_perm();
                    return true;
                }
                write_perm();
                return false;
            case PartKind::TREE:
                root = (root + 1) % part->size();
                write_tree();
                return root != 0;
            case PartKind::GENERAL:
                for (std::size_t i = children.size(); i-- > 0;) {
                    if (children[i].advance()) {
                        return true;
                    }
                }
                if (next_perm()) {
                    write_perm();
                    return true;
                }
                const int next = clique + 1 == part->tree.size() ? 0 : clique + 1;
                set_clique(next);
                return next != 0;
        }
        return false;
    }

    void set_items(std::span<const int> ids, std::span<const int> levels,
                   std::span<const int> forbidden) {
        const int c = static_cast<int>(ids.size());
        items.assign(ids.begin(), ids.end());
        level.assign(levels.begin(), levels.end());
        constrained = !forbidden.empty();
        forbidden_at.assign(at(c) + 1, -1);
        for (std::size_t j = 0; j < forbidden.size(); ++j) {
            forbidden_at[at(forbidden[j])] = static_cast<int>(j);
        }
        perm.resize(at(c));
        std::iota(perm.begin(), perm.end(), 0);
        max_level.assign(at(c) + 1, -1);
        if (constrained) {
            fill_from(0, perm);
        }
    }

    // Item x may stand at place p after perm[0 .. p-1]: unless the first p+1
    // items would be exactly a forbidden set (all of level <= its index).
    bool allowed(int p, int x) const {
        const int j = forbidden_at[at(p) + 1];
        return j < 0 || std::max(max_level[at(p)], level[at(x)]) > j;
    }

    // Places p .. on take the smallest allowed of `rest` (sorted) each.
    void fill_from(int p, std::vector<int> rest) {
        std::sort(rest.begin() + p, rest.end());
        for (int q = p; q < static_cast<int>(perm.size()); ++q) {
            auto pick = rest.begin() + q;
            while (!allowed(q, *pick)) {
                ++pick;  // at most one item is not allowed, and two are left
            }
            std::rotate(rest.begin() + q, pick, pick + 1);
            perm[at(q)] = rest[at(q)];
            max_level[at(q) + 1] = std::max(max_level[at(q)], level[at(perm[at(q)])]);
        }
    }

    // The next allowed order in lexicographic order; false (and the first)
    // after the last.
    bool next_perm() {
        if (!constrained) {
            return std::next_permutation(perm.begin(), perm.end());
        }
        const int c = static_cast<int>(perm.size());
        for (int p = c - 2; p >= 0; --p) {
            int best = -1;
            for (int q = p + 1; q < c; ++q) {
                const int y = perm[at(q)];
                if (y > perm[at(p)] && (best < 0 || y < best) && allowed(p, y)) {
                    best = y;
                }
            }
            if (best >= 0) {
                std::vector<int> rest(perm);
                std::swap(*std::find(rest.begin() + p, rest.end(), best), rest[at(p)]);
                perm[at(p)] = best;
                max_level[at(p) + 1] = std::max(max_level[at(p)], level[at(best)]);
                std::sort(rest.begin() + p + 1, rest.end());
                fill_from(p + 1, rest);
                return true;
            }
        }
        std::iota(perm.begin(), perm.end(), 0);
        fill_from(0, perm);
        return false;
    }

    void write_perm() const {
        for (std::size_t i = 0; i < perm.size(); ++i) {
            position[at(global[at(items[at(perm[i])])])] = base + static_cast<int>(i);
        }
    }

    void write_tree() const {
        const int k = part->size();
        std::vector<int> queue{root};
        std::vector<char> seen(at(k), 0);
        seen[at(root)] = 1;
        for (std::size_t q = 0; q < queue.size(); ++q) {
            const int v = queue[q];
            position[at(global[at(part->vertices[at(v)])])] = base + static_cast<int>(q);
            for (int e = part->adjacency_begin[at(v)]; e < part->adjacency_begin[at(v) + 1]; ++e) {
                const int u = part->adjacency[at(e)];
                if (seen[at(u)] == 0) {
                    seen[at(u)] = 1;
                    queue.push_back(u);
                }
            }
        }
    }

    void set_clique(int c) {
        clique = c;
        const CliqueTree& tree = part->tree;
        const auto begin = at(tree.begin[at(c)]);
        const auto end = at(tree.begin[at(c) + 1]);
        std::vector<int> ids;
        for (std::size_t i = begin; i < end; ++i) {
            ids.push_back(part->vertices[at(tree.members[i])]);
        }
        set_items(ids, std::span<const int>(part->levels.data() + begin, end - begin),
                  part->forbidden(c));
        write_perm();
        // The groups in the order the pieces reach them, each after K and
        // the groups before it.
        std::vector<int> groups;
        auto reach = [&](auto& self, int piece) -> void {
            for (const int g : part->piece_groups(piece)) {
                groups.push_back(g);
            }
            for (const int e : part->piece_exits(piece)) {
                self(self, e);
            }
        };
        part->pieces_from(c, [&](int piece) { reach(reach, piece); });
        children.clear();
        children.resize(groups.size());
        int next = base + static_cast<int>(ids.size());
        for (std::size_t i = 0; i < groups.size(); ++i) {
            children[i].start(*d, groups[i], global, position, next);
            next += d->part(groups[i]).size();
        }
    }
};

DagLister::DagLister(const EquivalenceClass& c)
    : class_(&c), position_(static_cast<std::size_t>(c.essential().n), 0) {
    for (int i = 0; i < c.component_count(); ++i) {
        cursors_.push_back(std::make_unique<Cursor>());
    }
}

DagLister::~DagLister() = default;
DagLister::DagLister(DagLister&&) noexcept = default;

bool DagLister::next() {
    if (done_) {
        return false;
    }
    if (!started_) {
        started_ = true;
        for (int i = 0; i < class_->component_count(); ++i) {
            cursors_[at(i)]->start(class_->decomposition(i), 0,
                                   class_->component_vertices(i).data(), position_.data(), 0);
        }
        return true;
    }
    for (std::size_t i = cursors_.size(); i-- > 0;) {
        if (cursors_[i]->advance()) {
            return true;
        }
    }
    done_ = true;
    return false;
}

}  // namespace pellimor
