#include "sampler/random_walk.hpp"

#include "graph/admissibility.hpp"
#include "graph/incremental_admissibility.hpp"
#include "sampler/fast_remainder.hpp"

namespace pellimor {

namespace {

// The reference judge: applies a move's change in place, runs the complete
// admissibility test on the whole matrix and undoes the change when it fails.
class FullCheckJudge {
  public:
    explicit FullCheckJudge(EdgeMatrix& m) : m_(m) {}

    bool add_line(int x, int y) {
        if (x == y || adjacent(m_, x, y)) {
            return false;
        }
        m_[x][y] = m_[y][x] = EDGE_LINE;
        return keep_or_undo([&] { m_[x][y] = m_[y][x] = EDGE_NONE; });
    }

    bool remove_line(int x, int y) {
        if (x == y || m_[x][y] != EDGE_LINE) {
            return false;
        }
        m_[x][y] = m_[y][x] = EDGE_NONE;
        return keep_or_undo([&] { m_[x][y] = m_[y][x] = EDGE_LINE; });
    }

    bool add_arrow(int x, int y) {
        if (x == y || adjacent(m_, x, y)) {
            return false;
        }
        m_[x][y] = EDGE_ARROW;
        return keep_or_undo([&] { m_[x][y] = EDGE_NONE; });
    }

    bool remove_arrow(int x, int y) {
        if (x == y || m_[x][y] != EDGE_ARROW) {
            return false;
        }
        m_[x][y] = EDGE_NONE;
        return keep_or_undo([&] { m_[x][y] = EDGE_ARROW; });
    }

    bool add_vee(int x, int y, int z) {
        if (x == y || x == z || y == z || adjacent(m_, x, y) || adjacent(m_, x, z) ||
            adjacent(m_, y, z)) {
            return false;
        }
        m_[x][z] = m_[y][z] = EDGE_ARROW;
        return keep_or_undo([&] { m_[x][z] = m_[y][z] = EDGE_NONE; });
    }

    bool remove_vee(int x, int y, int z) {
        if (x == y || x == z || y == z || adjacent(m_, x, y) || m_[x][z] != EDGE_ARROW ||
            m_[y][z] != EDGE_ARROW) {
            return false;
        }
        m_[x][z] = m_[y][z] = EDGE_NONE;
        return keep_or_undo([&] { m_[x][z] = m_[y][z] = EDGE_ARROW; });
    }

  private:
    template <typename Undo>
    bool keep_or_undo(Undo undo) {
        if (is_admissible(m_) == 1) {
            return true;
        }
        undo();
        return false;
    }

    EdgeMatrix& m_;
};

// Moves between two looks at the stop flag: long enough to cost nothing,
// short enough to stop a large walk well within a second, also when every
// move runs the complete test.
constexpr int moves_per_stop_check = 1 << 14;
constexpr int full_check_moves_per_stop_check = 32;

// The walk proper. Judge offers the six changing moves, each checking its
// precondition and admissibility and returning whether it kept the change.
template <typename Judge>
bool walk(Judge& judge, Xoshiro256StarStar& rng, int n, int n_its, int moves_per_check,
          MoveCounts& counts, const std::atomic<bool>* stop) {
    // The generator and the counters live in locals during the walk, so that
    // the compiler can keep them in registers: writes through `counts` could
    // otherwise alias the generator's state.
    Xoshiro256StarStar draw = rng;
    std::int64_t kept[move_kind_count] = {};
    const FastRemainder modulo_n(static_cast<std::uint64_t>(n));
    auto vertex = [&] { return static_cast<int>(modulo_n(draw())); };
    auto finish = [&](bool completed) {
        rng = draw;
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
            // Draws are taken in statement order: kind, then x, y, z.
            switch (draw() % move_kind_count) {
                case MOVE_STAY:
                    ++kept[MOVE_STAY];
                    break;
                case MOVE_ADD_LINE: {
                    const int x = vertex();
                    const int y = vertex();
                    kept[MOVE_ADD_LINE] += judge.add_line(x, y);
                    break;
                }
                case MOVE_REMOVE_LINE: {
                    const int x = vertex();
                    const int y = vertex();
                    kept[MOVE_REMOVE_LINE] += judge.remove_line(x, y);
                    break;
                }
                case MOVE_ADD_ARROW: {
                    const int x = vertex();
                    const int y = vertex();
                    kept[MOVE_ADD_ARROW] += judge.add_arrow(x, y);
                    break;
                }
                case MOVE_REMOVE_ARROW: {
                    const int x = vertex();
                    const int y = vertex();
                    kept[MOVE_REMOVE_ARROW] += judge.remove_arrow(x, y);
                    break;
                }
                case MOVE_ADD_VEE: {
                    const int x = vertex();
                    const int y = vertex();
                    const int z = vertex();
                    kept[MOVE_ADD_VEE] += judge.add_vee(x, y, z);
                    break;
                }
                default: {  // MOVE_REMOVE_VEE
                    const int x = vertex();
                    const int y = vertex();
                    const int z = vertex();
                    kept[MOVE_REMOVE_VEE] += judge.remove_vee(x, y, z);
                    break;
                }
            }
        }
    }
    return finish(true);
}

// The walk's draws, taken from the generator in blocks ahead of use, so that
// a move can read the draws for its kind and for all three vertices at once,
// before it knows how many of them it uses; it then consumes only those. The
// caller keeps the number of draws used (`used`, below block + lookahead) in
// a local, so that it can stay in a register. The generator's state at the
// first unused draw is recovered at the end.
class DrawsAhead {
  public:
    static constexpr std::size_t lookahead = 3;
    // Long blocks make the refill (and its mispredicted exits) rare; the
    // refill's main loop then draws a multiple of its unroll factor.
    static constexpr std::size_t block = 512 + lookahead;

    explicit DrawsAhead(const Xoshiro256StarStar& rng) : at_start_(rng), ahead_(rng) { fill(0); }

    // The next four draws after the first `used`, refilling the buffer when
    // the block is used up; `used` then counts from the new block's start.
    const std::uint64_t* next(std::size_t& used) {
        if (used >= block) [[unlikely]] {
            // The look-ahead draws past the block become the new block's first.
            for (std::size_t i = 0; i < lookahead; ++i) {
                buffer_[i] = buffer_[block + i];
            }
            used -= block;
            at_start_ = at_next_start_;
            fill(lookahead);
        }
        return buffer_ + used;
    }

    // The generator as if it had made exactly the first `used` draws.
    Xoshiro256StarStar generator(std::size_t used) const {
        Xoshiro256StarStar rng = at_start_;
        for (std::size_t i = 0; i < used; ++i) {
            rng();
        }
        return rng;
    }

  private:
    void fill(std::size_t from) {
        // Unrolled: the loop's own count and branch are a fifth of a draw.
#pragma GCC unroll 8
        for (std::size_t i = from; i < block; ++i) {
            buffer_[i] = ahead_();
        }
        at_next_start_ = ahead_;
        for (std::size_t i = block; i < block + lookahead; ++i) {
            buffer_[i] = ahead_();
        }
    }

    // buffer_[i] is the draw the generator in state at_start_ makes i-th;
    // at_next_start_ is that generator before buffer_[block], and ahead_
    // after the last buffered draw.
    Xoshiro256StarStar at_start_;
    Xoshiro256StarStar at_next_start_ = at_start_;
    Xoshiro256StarStar ahead_;
    std::uint64_t buffer_[block + lookahead];
};

// Draws a move of each kind makes, its kind included: a byte load per move
// instead of a shift through the shift-count register, which the vertex
// remainders keep busy.
constexpr std::uint8_t draws_of_kind[move_kind_count] = {1, 3, 3, 3, 3, 4, 4};
// The judge numbers its moves as the walk numbers its kinds.
static_assert(MOVE_STAY == 0 && int{MOVE_ADD_LINE} == IncrementalAdmissibility::ADD_LINE &&
              int{MOVE_REMOVE_LINE} == IncrementalAdmissibility::REMOVE_LINE &&
              int{MOVE_ADD_ARROW} == IncrementalAdmissibility::ADD_ARROW &&
              int{MOVE_REMOVE_ARROW} == IncrementalAdmissibility::REMOVE_ARROW &&
              int{MOVE_ADD_VEE} == IncrementalAdmissibility::ADD_VEE &&
              int{MOVE_REMOVE_VEE} == IncrementalAdmissibility::REMOVE_VEE);

// The same walk with the incremental judge, for rows of FixedWords words (0:
// any width). Each move reads the draws for its kind and all three vertices,
// screens the drawn kind on those vertices without a branch (with rows of
// one word only that kind; otherwise all six, then picks the kind's bit), and
// branches only on whether the drawn kind passed; it then consumes the draws
// its kind uses, so the stream is read exactly as walk() reads it.
// Kept out of run_walk, so that its register allocation is its own.
template <int FixedWords>
[[gnu::noinline]] bool screened_walk(IncrementalAdmissibility& judge, Xoshiro256StarStar& rng,
                                     int n, int n_its, MoveCounts& counts,
                                     const std::atomic<bool>* stop) {
    DrawsAhead draws(rng);
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
            return judge.screen_move_one_word(move.kind, move.x, move.y, move.z);
        } else {
            const unsigned passed = judge.screen<FixedWords>(
                static_cast<int>(move.x), static_cast<int>(move.y), static_cast<int>(move.z));
            return ((passed >> move.kind) & 1u) != 0;
        }
    };
    auto finish = [&](bool completed) {
        rng = draws.generator(used);
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
                kept[move.kind] +=
                    judge.finish<FixedWords>(static_cast<int>(move.kind), static_cast<int>(move.x),
                                             static_cast<int>(move.y), static_cast<int>(move.z));
            }
        }
    }
    return finish(true);
}

}  // namespace

bool run_walk(EdgeMatrix& m, Xoshiro256StarStar& rng, int n_its, bool full_check,
              MoveCounts& counts, const std::atomic<bool>* stop) {
    if (full_check) {
        FullCheckJudge judge(m);
        return walk(judge, rng, m.size(), n_its, full_check_moves_per_stop_check, counts, stop);
    }
    IncrementalAdmissibility judge(m);
    const int n = m.size();
    if (n == 1 || static_cast<std::uint64_t>(n) > SmallRemainder::max_divisor) {
        // The screened walk's vertex remainder needs 2 <= n <= 2^16. For n = 1
        // every changing move fails its precondition anyway, and a larger n
        // (2^32 cells) is beyond any practical walk: the draw-at-a-time walk
        // with the same judge takes those, reading the same draws.
        return walk(judge, rng, n, n_its, moves_per_stop_check, counts, stop);
    }
    switch (judge.words()) {
        case 1:
            return screened_walk<1>(judge, rng, n, n_its, counts, stop);
        case 2:
            return screened_walk<2>(judge, rng, n, n_its, counts, stop);
        case 3:
            return screened_walk<3>(judge, rng, n, n_its, counts, stop);
        case 4:
            return screened_walk<4>(judge, rng, n, n_its, counts, stop);
        case 5:
            return screened_walk<5>(judge, rng, n, n_its, counts, stop);
        default:
            return screened_walk<0>(judge, rng, n, n_its, counts, stop);
    }
}

}  // namespace pellimor
