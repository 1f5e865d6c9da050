#include "sampler/random_walk.hpp"

#include "graph/incremental_admissibility.hpp"
#include "graph/matrix_queries.hpp"
#include "graph/move_screen.hpp"
#include "graph/moves.hpp"
#include "sampler/draws_ahead.hpp"
#include "sampler/fast_remainder.hpp"
#include "sampler/full_check_judge.hpp"
#include "util/check.hpp"

namespace pellimor {

namespace {

// Moves between two looks at the stop flag: long enough to cost nothing,
// short enough to stop a large walk well within a second, also when every
// move runs the complete test.
constexpr int moves_per_stop_check = 1 << 14;
constexpr int full_check_moves_per_stop_check = 32;

// The change in the number of edges a kept move of each kind makes.
constexpr int edge_change(MoveKind kind) {
    const MoveRule& rule = move_rules[kind];
    return rule.adds ? rule.edge_count : -rule.edge_count;
}
inline constexpr std::int8_t edge_change_of_kind[move_kind_count] = {
    edge_change(MOVE_STAY),      edge_change(MOVE_ADD_LINE),     edge_change(MOVE_REMOVE_LINE),
    edge_change(MOVE_ADD_ARROW), edge_change(MOVE_REMOVE_ARROW), edge_change(MOVE_ADD_VEE),
    edge_change(MOVE_REMOVE_VEE)};

// The edges of the walk's graph against a limit; with Limited false, nothing
// at all, so that the unlimited walk compiles to what it was without it.
template <bool Limited>
struct EdgeBudget {
    std::int64_t edges = 0;
    std::int64_t limit = 0;

    // Whether a move of `kind` may be judged: its changed graph stays within
    // the limit.
    bool allows(std::uint64_t kind) const {
        if constexpr (Limited) {
            return edges + edge_change_of_kind[kind] <= limit;
        } else {
            return true;
        }
    }
    void kept(std::uint64_t kind, bool kept) {
        if constexpr (Limited) {
            edges += kept ? edge_change_of_kind[kind] : 0;
        }
    }
};

// The walk proper, a draw at a time. Judge offers try_move for the six
// changing kinds, each checking its precondition and admissibility and
// returning whether it kept the change.
template <bool Limited, typename Judge>
bool walk(Judge& judge, Xoshiro256StarStar& rng, int n, int n_its, int moves_per_check,
          MoveCounts& counts, const std::atomic<bool>* stop, EdgeBudget<Limited>& walk_budget) {
    // The generator and the counters live in locals during the walk, so that
    // the compiler can keep them in registers: writes through `counts` could
    // otherwise alias the generator's state.
    Xoshiro256StarStar draw = rng;
    std::int64_t kept[move_kind_count] = {};
    const FastRemainder modulo_n(static_cast<std::uint64_t>(n));
    EdgeBudget<Limited> budget = walk_budget;  // a local, as the generator
    auto finish = [&](bool completed) {
        rng = draw;
        walk_budget = budget;
        for (int k = 0; k < move_kind_count; ++k) {
            counts.kept[k] += kept[k];
        }
        return completed;
    };
    int done = 0;
    while (done < n_its) {
        if (stop != nullptr && stop->load(std::memory_order_relaxed)) {
            return finish(false);
        }
        const int end = n_its - done > moves_per_check ? done + moves_per_check : n_its;
        for (; done < end; ++done) {
            // Draws are taken in order: kind, then x, y, z as the kind uses them.
            const auto kind = static_cast<MoveKind>(draw() % move_kind_count);
            if (kind == MOVE_STAY) {
                ++kept[MOVE_STAY];
                continue;
            }
            int v[3] = {0, 0, 0};
            for (int k = 0; k + 1 < draws_of_kind[kind]; ++k) {
                v[k] = static_cast<int>(modulo_n(draw()));
            }
            if (budget.allows(kind)) {
                const bool changed = judge.try_move(kind, v[0], v[1], v[2]);
                budget.kept(kind, changed);
                kept[kind] += changed;
            }
        }
    }
    return finish(true);
}

// The same walk with the incremental judge, for rows of FixedWords words (0:
// any width). Each move reads the draws for its kind and all three vertices,
// screens the drawn kind on those vertices without a branch (with rows of
// one word only that kind; otherwise all six, then picks the kind's bit), and
// branches only on whether the drawn kind passed; it then consumes the draws
// its kind uses, so the stream is read exactly as walk() reads it.
// Kept out of run_walk, so that its register allocation is its own.
// The edge budget is consulted only for the moves that passed the screen.
template <int FixedWords, bool Limited>
[[gnu::noinline]] bool screened_walk(IncrementalAdmissibility& judge, Xoshiro256StarStar& rng,
                                     int n, int n_its, MoveCounts& counts,
                                     const std::atomic<bool>* stop,
                                     EdgeBudget<Limited>& walk_budget) {
    DrawsAhead draws(rng);
    const VertexRows& rows = judge.rows();
    std::size_t used = 0;  // a full-width index: no sign extension per move
    std::int64_t kept[move_kind_count] = {};
    // 2 <= n <= SmallRemainder::max_divisor here (run_walk sends the rest elsewhere).
    const SmallRemainder modulo_n(static_cast<std::uint64_t>(n));
    // A move from its four draws: the kind, then x, y and z.
    struct Move {
        std::uint64_t kind;
        std::uint64_t x;
        std::uint64_t y;
        std::uint64_t z;
    };
    auto move_of = [&](const std::uint64_t* draw) {
        return Move{remainder_by<move_kind_count>(draw[0]), modulo_n(draw[1]), modulo_n(draw[2]),
                    modulo_n(draw[3])};
    };
    auto passes = [&](const Move& move) {
        if constexpr (FixedWords == 1) {
            // The drawn kind's precondition alone: fewer loads and steps than
            // all six, at the price of the kind's remainder before the loads.
            return screen_move_one_word(rows, move.kind, move.x, move.y, move.z);
        } else {
            const unsigned passed = screen_moves<FixedWords>(
                rows, static_cast<int>(move.x), static_cast<int>(move.y), static_cast<int>(move.z));
            return ((passed >> move.kind) & 1u) != 0;
        }
    };
    EdgeBudget<Limited> budget = walk_budget;
    auto finish = [&](bool completed) {
        rng = draws.generator(used);
        walk_budget = budget;
        for (int k = 0; k < move_kind_count; ++k) {
            counts.kept[k] += kept[k];
        }
        return completed;
    };
    // Moves still to make, counted down: one live counter instead of two.
    int left = n_its;
    while (left > 0) {
        if (stop != nullptr && stop->load(std::memory_order_relaxed)) {
            return finish(false);
        }
        int piece = left > moves_per_stop_check ? moves_per_stop_check : left;
        left -= piece;
        while (piece > 0) {
            // The inner loop runs through the moves that fail the screen (most
            // of them) and leaves for each that passes: with no call inside,
            // the compiler can keep the loop's values in registers, saving
            // them only around the call that finishes a passed move.
            const std::uint64_t* passed = nullptr;
            while (piece > 0) {
                --piece;
                const std::uint64_t* draw = draws.next(used);
                const Move move = move_of(draw);
                used += draws_of_kind[move.kind];
                kept[MOVE_STAY] += move.kind == MOVE_STAY;
                if (passes(move)) {
                    passed = draw;
                    break;
                }
            }
            if (passed != nullptr) {
                // Read again from its draws (still in the buffer) rather than
                // kept through the loop, which then needs fewer registers.
                const Move move = move_of(passed);
                if (budget.allows(move.kind)) {
                    const bool changed = judge.finish<FixedWords>(
                        static_cast<MoveKind>(move.kind), static_cast<int>(move.x),
                        static_cast<int>(move.y), static_cast<int>(move.z));
                    budget.kept(move.kind, changed);
                    kept[move.kind] += changed;
                }
            }
        }
    }
    return finish(true);
}

// The incremental walk of n_its moves, by the fastest loop for n.
template <bool Limited>
bool incremental_walk(IncrementalAdmissibility& judge, Xoshiro256StarStar& rng, int n, int n_its,
                      MoveCounts& counts, const std::atomic<bool>* stop,
                      EdgeBudget<Limited>& budget) {
    if (n == 1 || static_cast<std::uint64_t>(n) > SmallRemainder::max_divisor) {
        // The screened walk's vertex remainder needs 2 <= n <= 2^16. For n = 1
        // every changing move fails its precondition anyway, and a larger n
        // (2^32 cells) is beyond any practical walk: the draw-at-a-time walk
        // with the same judge takes those, reading the same draws.
        return walk(judge, rng, n, n_its, moves_per_stop_check, counts, stop, budget);
    }
    switch (judge.words()) {
        case 1:
            return screened_walk<1>(judge, rng, n, n_its, counts, stop, budget);
        case 2:
            return screened_walk<2>(judge, rng, n, n_its, counts, stop, budget);
        case 3:
            return screened_walk<3>(judge, rng, n, n_its, counts, stop, budget);
        case 4:
            return screened_walk<4>(judge, rng, n, n_its, counts, stop, budget);
        case 5:
            return screened_walk<5>(judge, rng, n, n_its, counts, stop, budget);
        default:
            return screened_walk<0>(judge, rng, n, n_its, counts, stop, budget);
    }
}

}  // namespace

bool run_walk(EdgeMatrix& m, Xoshiro256StarStar& rng, int n_its, bool full_check,
              MoveCounts& counts, const std::atomic<bool>* stop, WalkMidpoint* midpoint,
              EdgeBound bound, WalkScratch* scratch) {
    const int n = m.size();
    // One judge for the whole walk, built once. With a midpoint the walk
    // runs as two walks in a row, which read the stream as one does: each
    // leaves the generator at its first unused draw. The judges' answers do
    // not depend on their history (the incremental judge's vertex order is
    // one topological order among many), so the walk is the same either way.
    auto in_halves = [&](auto walk_for, auto line_count) {
        if (midpoint == nullptr) {
            return walk_for(n_its);
        }
        const int first_half = n_its > 1 ? n_its / 2 : 0;
        if (!walk_for(first_half)) {
            return false;
        }
        midpoint->lines = line_count();
        midpoint->no_lines = midpoint->lines == 0;
        return walk_for(n_its - first_half);
    };
    auto walk_within = [&](auto& budget) {
        if (full_check) {
            FullCheckJudge judge(m);
            return in_halves(
                [&](int moves) {
                    return walk(judge, rng, n, moves, full_check_moves_per_stop_check, counts, stop,
                                budget);
                },
                [&] { return count_lines(m); });
        }
        // A scratch's judge starts again from m in the memory of the last walk.
        std::optional<IncrementalAdmissibility> own;
        std::optional<IncrementalAdmissibility>& kept = scratch != nullptr ? scratch->judge : own;
        if (kept) {
            kept->reset(m);
        } else {
            kept.emplace(m);
        }
        IncrementalAdmissibility& judge = *kept;
        return in_halves(
            [&](int moves) { return incremental_walk(judge, rng, n, moves, counts, stop, budget); },
            [&] { return judge.line_count(); });
    };
    CHECK(bound.kind != EdgeBoundKind::EXACTLY);
    if (!bound.bounded()) {
        EdgeBudget<false> unlimited;
        return walk_within(unlimited);
    }
    EdgeBudget<true> budget{count_edges(m), bound.edges};
    CHECK(budget.edges <= bound.edges);
    return walk_within(budget);
}

}  // namespace pellimor
