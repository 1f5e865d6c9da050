#include "graph/admissibility.hpp"

#include <vector>

#include "graph/directed_layering.hpp"
#include "graph/simplicial_elimination.hpp"

namespace pellimor {

namespace {

bool arrows_close_over_lines(const EdgeMatrix& m) {
    const int n = m.size();
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            if (m[i][j] != EDGE_ARROW) {
                continue;
            }
            for (int k = 0; k < n; ++k) {
                if (m[j][k] == EDGE_LINE && m[i][k] != EDGE_ARROW) {
                    return false;
                }
            }
        }
    }
    return true;
}

bool lines_are_chordal(const EdgeMatrix& m) {
    const int n = m.size();
    EdgeMatrix lines_only(n);
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            lines_only[r][c] = m[r][c] == EDGE_ARROW ? EDGE_NONE : m[r][c];
        }
    }
    return eliminate_simplicial(lines_only);
}

bool is_protected(const EdgeMatrix& m, int i, int j) {
    const int n = m.size();
    for (int a = 0; a < n; ++a) {
        // A: a -> i with a and j not adjacent.
        if (m[a][i] == EDGE_ARROW && !adjacent(m, a, j)) {
            return true;
        }
        // B: a -> j with a != i and a, i not adjacent.
        if (a != i && m[a][j] == EDGE_ARROW && !adjacent(m, a, i)) {
            return true;
        }
        // C: i -> a -> j.
        if (m[i][a] == EDGE_ARROW && m[a][j] == EDGE_ARROW) {
            return true;
        }
    }
    // D: k - i - l, k -> j <- l, k and l not adjacent.
    for (int k = 0; k < n; ++k) {
        if (m[i][k] != EDGE_LINE || m[k][j] != EDGE_ARROW) {
            continue;
        }
        for (int l = 0; l < n; ++l) {
            if (l != k && m[i][l] == EDGE_LINE && m[l][j] == EDGE_ARROW && !adjacent(m, k, l)) {
                return true;
            }
        }
    }
    return false;
}

bool every_arrow_protected(const EdgeMatrix& m) {
    const int n = m.size();
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            if (m[i][j] == EDGE_ARROW && !is_protected(m, i, j)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

bool is_admissible(const EdgeMatrix& m) {
    if (!arrows_close_over_lines(m)) {
        return false;
    }
    std::vector<int> level(m.size());
    if (directed_layering(level, m) == -1) {
        return false;
    }
    if (!lines_are_chordal(m)) {
        return false;
    }
    return every_arrow_protected(m);
}

}  // namespace pellimor
