#include "sampler/full_check_judge.hpp"

#include "graph/admissibility.hpp"

namespace pellimor {

bool FullCheckJudge::try_move(MoveKind kind, int x, int y, int z) {
    const int v[3] = {x, y, z};
    if (!precondition_holds(m_, kind, v)) {
        return false;
    }
    apply_change(m_, kind, v);
    if (is_admissible(m_)) {
        return true;
    }
    undo_change(m_, kind, v);
    return false;
}

}  // namespace pellimor
