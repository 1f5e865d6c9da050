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

}  // namespace

bool run_walk(EdgeMatrix& m, Xoshiro256StarStar& rng, int n_its, bool full_check,
              MoveCounts& counts, const std::atomic<bool>* stop) {
    if (full_check) {
        FullCheckJudge judge(m);
        return walk(judge, rng, m.size(), n_its, full_check_moves_per_stop_check, counts, stop);
    }
    IncrementalAdmissibility judge(m);
    return walk(judge, rng, m.size(), n_its, moves_per_stop_check, counts, stop);
}

}  // namespace pellimor
