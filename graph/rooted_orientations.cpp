#include "graph/rooted_orientations.hpp"

#include <algorithm>
#include <map>

namespace pellimor {

namespace {

class RootedCounter {
  public:
    RootedCounter(int small, const std::function<double(const AdjacencyLists&)>& count_small)
        : small_(small), count_small_(count_small) {}

    // The count of g, whose vertex v is vertex ids[v] of the graph first
    // given (the memo's names).
    double count(const AdjacencyLists& g, const std::vector<int>& ids) {
        const int k = static_cast<int>(g.size());
        if (k <= 2) {
            return k == 2 ? 2.0 : 1.0;
        }
        if (k <= small_) {
            return count_small_(g);
        }
        double sum = 0;
        for (int root = 0; root < k; ++root) {
            sum += rooted(g, root, ids);
        }
        return sum;
    }

    // The count of g's subgraph induced on `members` (a connected set,
    // increasing), memoised on the set.
    double count_induced(const AdjacencyLists& g, const std::vector<int>& members,
                         const std::vector<int>& parent_ids) {
        std::vector<int> key;
        key.reserve(members.size());
        for (const int v : members) {
            key.push_back(parent_ids[static_cast<std::size_t>(v)]);
        }
        if (const auto found = memo_.find(key); found != memo_.end()) {
            return found->second;
        }
        std::vector<int> local(g.size(), -1);
        for (std::size_t i = 0; i < members.size(); ++i) {
            local[static_cast<std::size_t>(members[i])] = static_cast<int>(i);
        }
        AdjacencyLists sub(members.size());
        for (std::size_t i = 0; i < members.size(); ++i) {
            for (const int u : g[static_cast<std::size_t>(members[i])]) {
                if (local[static_cast<std::size_t>(u)] >= 0) {
                    sub[i].push_back(local[static_cast<std::size_t>(u)]);
                }
            }
        }
        const double value = count(sub, key);
        memo_.emplace(std::move(key), value);
        return value;
    }

  private:
    // The number of AMOs of g whose source is root.
    double rooted(const AdjacencyLists& g, int root, const std::vector<int>& ids) {
        const int k = static_cast<int>(g.size());
        // state[a][b]: 0 no edge, 1 undirected, 2 arrow a -> b, 3 arrow b -> a.
        std::vector<std::vector<char>> state(static_cast<std::size_t>(k),
                                             std::vector<char>(static_cast<std::size_t>(k), 0));
        auto at = [&](int a, int b) -> char& {
            return state[static_cast<std::size_t>(a)][static_cast<std::size_t>(b)];
        };
        for (int a = 0; a < k; ++a) {
            for (const int b : g[static_cast<std::size_t>(a)]) {
                at(a, b) = 1;
            }
        }
        auto orient = [&](int a, int b) {  // a -> b
            at(a, b) = 2;
            at(b, a) = 3;
        };
        auto adjacent = [&](int a, int b) { return at(a, b) != 0; };
        auto arrow = [&](int a, int b) { return at(a, b) == 2; };
        for (const int u : g[static_cast<std::size_t>(root)]) {
            orient(root, u);
        }
        // Meek's rules until nothing changes.
        for (bool changed = true; changed;) {
            changed = false;
            for (int a = 0; a < k; ++a) {
                for (int b = 0; b < k; ++b) {
                    if (at(a, b) != 1) {
                        continue;
                    }
                    bool force = false;
                    for (int c = 0; c < k && !force; ++c) {
                        if (c == a || c == b) {
                            continue;
                        }
                        // c -> a - b, c and b not adjacent.
                        force = arrow(c, a) && !adjacent(c, b);
                        // a -> c -> b.
                        force = force || (arrow(a, c) && arrow(c, b));
                        // a - c -> b and a - d -> b with c, d not adjacent.
                        if (!force && at(a, c) == 1 && arrow(c, b)) {
                            for (int d = c + 1; d < k && !force; ++d) {
                                force = d != b && at(a, d) == 1 && arrow(d, b) && !adjacent(c, d);
                            }
                        }
                        // a adj c, c -> d -> b, a - d, c and b not adjacent.
                        if (!force && adjacent(a, c) && !adjacent(c, b)) {
                            for (int d = 0; d < k && !force; ++d) {
                                force = d != a && d != b && d != c && arrow(c, d) && arrow(d, b) &&
                                        at(a, d) == 1;
                            }
                        }
                    }
                    if (force) {
                        orient(a, b);
                        changed = true;
                    }
                }
            }
        }
        // The undirected components left, each counted on its own.
        AdjacencyLists lines(static_cast<std::size_t>(k));
        for (int a = 0; a < k; ++a) {
            for (int b = 0; b < k; ++b) {
                if (at(a, b) == 1) {
                    lines[static_cast<std::size_t>(a)].push_back(b);
                }
            }
        }
        std::vector<char> seen(static_cast<std::size_t>(k), 0);
        double product = 1;
        for (int start = 0; start < k; ++start) {
            if (seen[static_cast<std::size_t>(start)] || lines[static_cast<std::size_t>(start)].empty()) {
                continue;
            }
            std::vector<int> members{start};
            seen[static_cast<std::size_t>(start)] = 1;
            for (std::size_t i = 0; i < members.size(); ++i) {
                for (const int u : lines[static_cast<std::size_t>(members[i])]) {
                    if (!seen[static_cast<std::size_t>(u)]) {
                        seen[static_cast<std::size_t>(u)] = 1;
                        members.push_back(u);
                    }
                }
            }
            std::sort(members.begin(), members.end());
            product *= count_induced(lines, members, ids);
        }
        return product;
    }

    int small_;
    const std::function<double(const AdjacencyLists&)>& count_small_;
    // Counts of components by their vertex sets in the graph first given: a
    // chain component's edges are all undirected, so the set alone fixes it.
    std::map<std::vector<int>, double> memo_;
};

}  // namespace

double count_rooted_orientations(const AdjacencyLists& g, int small,
                                 const std::function<double(const AdjacencyLists&)>& count_small) {
    RootedCounter counter(small, count_small);
    std::vector<int> ids(g.size());
    for (std::size_t v = 0; v < ids.size(); ++v) {
        ids[v] = static_cast<int>(v);
    }
    return counter.count(g, ids);
}

}  // namespace pellimor
