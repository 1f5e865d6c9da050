#include "graph/directed_layering.hpp"

#include <algorithm>

namespace pellimor {

int directed_layering(std::span<int> level, const EdgeMatrix& m) {
    const int n = m.size();
    std::fill_n(level.begin(), n, 0);
    for (int round = 0;; ++round) {
        bool changed = false;
        for (int j = 0; j < n; ++j) {
            // A vertex raised during this round no longer equals `round` and
            // waits for the next one.
            if (level[j] != round) {
                continue;
            }
            for (int k = 0; k < n; ++k) {
                if (m[j][k] != EDGE_ARROW) {
                    continue;
                }
                // A chain of n arrows must revisit a vertex.
                if (round >= n - 1) {
                    return -1;
                }
                level[k] = round + 1;
                changed = true;
            }
        }
        if (!changed) {
            return round;
        }
    }
}

}  // namespace pellimor
