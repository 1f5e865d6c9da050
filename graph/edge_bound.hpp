#pragma once

// The edges (lines and arrows) a run's graphs may have: any number, exactly
// E (the exact method's classes with E edges), or at most E (walks over the
// graphs with at most E edges, and exact draws among those classes).

#include <cstdint>

namespace pellimor {

enum class EdgeBoundKind : std::int32_t { NONE, EXACTLY, AT_MOST };

struct EdgeBound {
    EdgeBoundKind kind = EdgeBoundKind::NONE;
    std::int64_t edges = 0;  // E; 0 without a bound

    static constexpr EdgeBound exactly(std::int64_t e) { return {EdgeBoundKind::EXACTLY, e}; }
    static constexpr EdgeBound at_most(std::int64_t e) { return {EdgeBoundKind::AT_MOST, e}; }

    constexpr bool bounded() const { return kind != EdgeBoundKind::NONE; }
    // Whether a graph with e edges is within the bound.
    constexpr bool admits(std::int64_t e) const {
        return kind == EdgeBoundKind::NONE ||
               (kind == EdgeBoundKind::EXACTLY ? e == edges : e <= edges);
    }

    bool operator==(const EdgeBound&) const = default;
};

}  // namespace pellimor
