#include "graph/simplicial_elimination.hpp"

#include <vector>

namespace pellimor {

bool is_simplicial(int v, const EdgeMatrix& m, std::span<const int> eliminated) {
    const int n = m.size();
    for (int a = 0; a < n; ++a) {
        if (eliminated[a] != 0 || m[a][v] != EDGE_LINE) {
            continue;
        }
        for (int b = 0; b < n; ++b) {
            if (b != a && eliminated[b] == 0 && m[b][v] != EDGE_NONE && !adjacent(m, a, b)) {
                return false;
            }
        }
    }
    return true;
}

bool eliminate_simplicial(const EdgeMatrix& m) {
    const int n = m.size();
    std::vector<int> eliminated(n, 0);
    int remaining_count = n;
    while (remaining_count > 0) {
        const int before = remaining_count;
        for (int j = 0; j < n; ++j) {
            // Vertices eliminated earlier in this pass already count as gone.
            if (eliminated[j] == 0 && is_simplicial(j, m, eliminated)) {
                eliminated[j] = 1;
                --remaining_count;
            }
        }
        if (remaining_count == before) {
            return false;
        }
    }
    return true;
}

}  // namespace pellimor
