#pragma once

// A mixed graph as lists of edges: arrows (directed edges) and lines
// (undirected edges) on vertices 0 .. n-1. This is the form a user's graph
// takes once read, whatever its size; MixedAdjacency indexes it for the
// judges, transforms and counts that work on such graphs.

#include <cstdint>
#include <span>
#include <vector>

namespace pellimor {

// An arrow from -> to, or a line between from and to.
struct VertexPair {
    int from = 0;
    int to = 0;
    bool operator==(const VertexPair&) const = default;
};

struct MixedGraph {
    int n = 0;
    std::vector<VertexPair> arrows;
    std::vector<VertexPair> lines;
    bool operator==(const MixedGraph&) const = default;
};

// Sorted adjacency lists of a mixed graph without self-loops or repeated
// pairs, in compressed rows. Allocates O(n + edges).
class MixedAdjacency {
  public:
    explicit MixedAdjacency(const MixedGraph& g);

    int size() const { return n_; }

    // Tails of arrows into v, heads of arrows out of v, line neighbours of v,
    // and all of these: each list sorted.
    std::span<const int> parents(int v) const { return row(parents_, v); }
    std::span<const int> children(int v) const { return row(children_, v); }
    std::span<const int> lines(int v) const { return row(lines_, v); }
    std::span<const int> neighbours(int v) const { return row(neighbours_, v); }

    // True when u and v share an edge (a binary search in the shorter list).
    bool adjacent(int u, int v) const;

  private:
    struct Rows {
        std::vector<std::int64_t> begin;  // n + 1 offsets
        std::vector<int> targets;
    };
    static std::span<const int> row(const Rows& r, int v) {
        const auto from = static_cast<std::size_t>(r.begin[static_cast<std::size_t>(v)]);
        const auto to = static_cast<std::size_t>(r.begin[static_cast<std::size_t>(v) + 1]);
        return {r.targets.data() + from, to - from};
    }

    int n_;
    Rows parents_, children_, lines_, neighbours_;
};

}  // namespace pellimor
