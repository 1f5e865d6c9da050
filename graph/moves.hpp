#pragma once

// The walk's move set, described once. A move is drawn as a kind (draw % 7)
// and then, except for stay, two or three vertices x, y, z. Each kind has a
// precondition on the cells (every requirement below holds), and a change: it
// adds or removes one line or one or two arrows. Everything that judges or
// screens moves derives its preconditions from move_rules.

#include <cstdint>

#include "graph/edge_matrix.hpp"

namespace pellimor {

// The kinds, numbered by the draw that selects them.
enum MoveKind : int {
    MOVE_STAY = 0,
    MOVE_ADD_LINE = 1,
    MOVE_REMOVE_LINE = 2,
    MOVE_ADD_ARROW = 3,
    MOVE_REMOVE_ARROW = 4,
    MOVE_ADD_VEE = 5,
    MOVE_REMOVE_VEE = 6,
};
inline constexpr int move_kind_count = 7;

// The drawn vertices, by their place in the draw order.
enum MoveVertex : std::uint8_t { VERTEX_X = 0, VERTEX_Y = 1, VERTEX_Z = 2 };

// What a requirement asks of the pair (a, b).
enum PairRelation : std::uint8_t {
    PAIR_APART,  // a != b and both cells empty
    PAIR_LINE,   // a - b
    PAIR_ARROW,  // a -> b
};

struct MoveRequirement {
    MoveVertex a;
    MoveVertex b;
    PairRelation relation;
};

// An edge the move adds or removes: a line a - b, or an arrow a -> b.
struct MoveEdge {
    MoveVertex a;
    MoveVertex b;
};

struct MoveRule {
    int vertices;  // vertex draws after the kind's own: 0, 2 or 3
    int requirement_count;
    MoveRequirement requirements[3];
    EdgeCode edge;  // EDGE_LINE or EDGE_ARROW (unused by stay)
    bool adds;      // adds the edges (they were absent) or removes them
    int edge_count;
    MoveEdge edges[2];
};

// Every requirement's pair is distinct under the others: (x, y) apart, a line
// or an arrow between x and y, and the vees' arrows into z from apart tails.
inline constexpr MoveRule move_rules[move_kind_count] = {
    // stay: no draws beyond the kind, no change
    {0, 0, {}, EDGE_NONE, false, 0, {}},
    // add line x - y
    {2, 1, {{VERTEX_X, VERTEX_Y, PAIR_APART}}, EDGE_LINE, true, 1, {{VERTEX_X, VERTEX_Y}}},
    // remove line x - y
    {2, 1, {{VERTEX_X, VERTEX_Y, PAIR_LINE}}, EDGE_LINE, false, 1, {{VERTEX_X, VERTEX_Y}}},
    // add arrow x -> y
    {2, 1, {{VERTEX_X, VERTEX_Y, PAIR_APART}}, EDGE_ARROW, true, 1, {{VERTEX_X, VERTEX_Y}}},
    // remove arrow x -> y
    {2, 1, {{VERTEX_X, VERTEX_Y, PAIR_ARROW}}, EDGE_ARROW, false, 1, {{VERTEX_X, VERTEX_Y}}},
    // add vee x -> z <- y
    {3,
     3,
     {{VERTEX_X, VERTEX_Y, PAIR_APART},
      {VERTEX_X, VERTEX_Z, PAIR_APART},
      {VERTEX_Y, VERTEX_Z, PAIR_APART}},
     EDGE_ARROW,
     true,
     2,
     {{VERTEX_X, VERTEX_Z}, {VERTEX_Y, VERTEX_Z}}},
    // remove vee x -> z <- y
    {3,
     3,
     {{VERTEX_X, VERTEX_Y, PAIR_APART},
      {VERTEX_X, VERTEX_Z, PAIR_ARROW},
      {VERTEX_Y, VERTEX_Z, PAIR_ARROW}},
     EDGE_ARROW,
     false,
     2,
     {{VERTEX_X, VERTEX_Z}, {VERTEX_Y, VERTEX_Z}}},
};

// Draws a move of each kind takes from the stream, its kind's own included.
inline constexpr std::uint8_t draws_of_kind[move_kind_count] = {
    1 + move_rules[0].vertices, 1 + move_rules[1].vertices, 1 + move_rules[2].vertices,
    1 + move_rules[3].vertices, 1 + move_rules[4].vertices, 1 + move_rules[5].vertices,
    1 + move_rules[6].vertices};

// The vertex whose parents a move on arrows changes (the head of its arrows).
constexpr MoveVertex head_of(const MoveRule& rule) {
    return rule.edges[0].b;
}

// The precondition of `kind` on the cells of m, for vertices v[0..2] of m
// (v[2] unused by the moves on two vertices).
bool precondition_holds(const EdgeMatrix& m, MoveKind kind, const int v[3]);

// Applies the change of `kind`, whose precondition holds, to m.
void apply_change(EdgeMatrix& m, MoveKind kind, const int v[3]);

// Takes back the change apply_change made.
void undo_change(EdgeMatrix& m, MoveKind kind, const int v[3]);

}  // namespace pellimor
