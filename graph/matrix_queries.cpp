#include "graph/matrix_queries.hpp"

#include <vector>

namespace pellimor {

bool has_no_lines(const EdgeMatrix& m) {
    const int n = m.size();
    for (int i = 0; i + 1 < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            if (m[i][j] == EDGE_LINE) {
                return false;
            }
        }
    }
    return true;
}

std::int64_t count_lines(const EdgeMatrix& m) {
    const int n = m.size();
    std::int64_t lines = 0;
    for (int i = 0; i + 1 < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            lines += m[i][j] == EDGE_LINE ? 1 : 0;
        }
    }
    return lines;
}

std::int64_t count_edges(const EdgeMatrix& m) {
    const int n = m.size();
    std::int64_t edges = 0;
    for (int i = 0; i + 1 < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            edges += adjacent(m, i, j) ? 1 : 0;
        }
    }
    return edges;
}

bool is_connected(const EdgeMatrix& m) {
    std::vector<char> marked;
    return is_connected(m, marked);
}

bool is_connected(const EdgeMatrix& m, std::vector<char>& marked) {
    const int n = m.size();
    if (n <= 1) {
        return true;
    }
    // Grow a marked set from vertex 0 by sweeps over all pairs until a sweep
    // marks nothing; marks made during a sweep count for the rest of it.
    marked.assign(static_cast<std::size_t>(n), 0);
    marked[0] = 1;
    int count = 1;
    for (bool grew = true; grew;) {
        grew = false;
        for (int a = 0; a + 1 < n; ++a) {
            for (int b = a + 1; b < n; ++b) {
                if (marked[a] != marked[b] && adjacent(m, a, b)) {
                    marked[a] = marked[b] = 1;
                    ++count;
                    grew = true;
                }
            }
        }
    }
    return count >= n;
}

}  // namespace pellimor
