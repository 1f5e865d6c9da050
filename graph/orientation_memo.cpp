#include "graph/orientation_memo.hpp"

#include <algorithm>
#include <bit>
#include <stdexcept>

namespace pellimor {

OrientationMemo::OrientationMemo(int limit) : limit_(limit) {
    if (limit < 1 || limit > max_limit) {
        throw std::invalid_argument("OrientationMemo: limit must be 1 .. 20");
    }
    value_.assign(std::size_t{1} << limit, 0);
    seen_.assign(std::size_t{1} << limit, 0);
}

std::uint64_t OrientationMemo::count(std::span<const std::uint32_t> adjacency) {
    const int k = static_cast<int>(adjacency.size());
    if (k > limit_) {
        throw std::invalid_argument("OrientationMemo: graph exceeds the limit");
    }
    adjacency_ = adjacency.data();
    if (++stamp_ == 0) {  // the stamp wrapped: forget every stored value
        std::fill(seen_.begin(), seen_.end(), 0);
        stamp_ = 1;
    }
    const std::uint32_t all = k == 32 ? ~std::uint32_t{0} : (std::uint32_t{1} << k) - 1;
    return f(all);
}

std::uint64_t OrientationMemo::f(std::uint32_t set) {
    if (set == 0) {
        return 1;
    }
    if ((set & (set - 1)) == 0) {
        return 1;
    }
    if (seen_[set] == stamp_) {
        return value_[set];
    }
    // The simplicial vertices of the subgraph induced on set: v whose
    // neighbours in set are pairwise adjacent.
    std::uint32_t simplicial = 0;
    for (std::uint32_t rest = set; rest != 0; rest &= rest - 1) {
        const int v = std::countr_zero(rest);
        const std::uint32_t nv = adjacency_[v] & set;
        bool clique = true;
        for (std::uint32_t others = nv; others != 0; others &= others - 1) {
            const int u = std::countr_zero(others);
            if ((nv & ~adjacency_[u] & ~(std::uint32_t{1} << u)) != 0) {
                clique = false;
                break;
            }
        }
        if (clique) {
            simplicial |= std::uint32_t{1} << v;
        }
    }
    const std::uint64_t result = sum_sinks(set, simplicial, 0, false);
    seen_[set] = stamp_;
    value_[set] = result;
    return result;
}

// Sum over the non-empty independent T with taken subset of T subset of
// taken | candidates, of (-1)^(|T|+1) f(set \ T); odd tells |taken| is odd.
// candidates holds no neighbour of taken.
std::uint64_t OrientationMemo::sum_sinks(std::uint32_t set, std::uint32_t candidates,
                                         std::uint32_t taken, bool odd) {
    if (candidates == 0) {
        if (taken == 0) {
            return 0;
        }
        const std::uint64_t value = f(set & ~taken);
        return odd ? value : std::uint64_t{0} - value;  // wraps modulo 2^64
    }
    const int v = std::countr_zero(candidates);
    const std::uint32_t bit = std::uint32_t{1} << v;
    const std::uint32_t rest = candidates & ~bit;
    return sum_sinks(set, rest, taken, odd) +
           sum_sinks(set, rest & ~adjacency_[v], taken | bit, !odd);
}

}  // namespace pellimor
