#pragma once

// Published and computed counts of labelled graphs on n <= 13 vertices, built
// into the program so that estimates can be compared with the truth.

#include <optional>
#include <string_view>

namespace pellimor {

inline constexpr int known_counts_limit = 13;

// Decimal strings, all for the same n.
struct KnownCounts {
    std::string_view dags;                        // all DAGs
    std::string_view essential_dags;              // DAGs alone in their class
    std::string_view essential_graphs;            // Markov equivalence classes
    std::string_view connected_essential_graphs;  // ... with a connected skeleton
    std::string_view connected_essential_dags;    // ... essential DAGs, connected
};

// The counts for 1 <= n <= known_counts_limit, else nothing.
std::optional<KnownCounts> known_counts(int n);

}  // namespace pellimor
