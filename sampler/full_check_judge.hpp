#pragma once

// The reference judge of walk moves: applies a move's change to the cells,
// runs the complete admissibility test on the whole matrix, and takes the
// change back when the test fails.

#include "graph/edge_matrix.hpp"
#include "graph/moves.hpp"

namespace pellimor {

class FullCheckJudge {
  public:
    // m must outlive the judge.
    explicit FullCheckJudge(EdgeMatrix& m) : m_(m) {}

    // True, with the change kept, when the precondition of `kind` holds and
    // the changed graph is admissible; otherwise m is left as it was. z is
    // read by the vees only.
    bool try_move(MoveKind kind, int x, int y, int z);

  private:
    EdgeMatrix& m_;
};

}  // namespace pellimor
