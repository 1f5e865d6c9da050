#include "graph/moves.hpp"

namespace pellimor {

namespace {

bool relation_holds(const EdgeMatrix& m, PairRelation relation, int a, int b) {
    switch (relation) {
        case PAIR_APART:
            return a != b && !adjacent(m, a, b);
        case PAIR_LINE:
            return m[a][b] == EDGE_LINE;
        case PAIR_ARROW:
            return m[a][b] == EDGE_ARROW;
    }
    return false;
}

// Sets the cells of the move's edges to `code` (both cells for a line).
void set_edges(EdgeMatrix& m, const MoveRule& rule, const int v[3], EdgeCode code) {
    for (int e = 0; e < rule.edge_count; ++e) {
        const int a = v[rule.edges[e].a];
        const int b = v[rule.edges[e].b];
        m[a][b] = code;
        if (rule.edge == EDGE_LINE) {
            m[b][a] = code;
        }
    }
}

}  // namespace

bool precondition_holds(const EdgeMatrix& m, MoveKind kind, const int v[3]) {
    const MoveRule& rule = move_rules[kind];
    for (int r = 0; r < rule.requirement_count; ++r) {
        const MoveRequirement& req = rule.requirements[r];
        if (!relation_holds(m, req.relation, v[req.a], v[req.b])) {
            return false;
        }
    }
    return kind != MOVE_STAY;
}

void apply_change(EdgeMatrix& m, MoveKind kind, const int v[3]) {
    const MoveRule& rule = move_rules[kind];
    set_edges(m, rule, v, rule.adds ? rule.edge : EDGE_NONE);
}

void undo_change(EdgeMatrix& m, MoveKind kind, const int v[3]) {
    const MoveRule& rule = move_rules[kind];
    set_edges(m, rule, v, rule.adds ? EDGE_NONE : rule.edge);
}

}  // namespace pellimor
