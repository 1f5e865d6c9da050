#pragma once

// Incremental admissibility: the walk's fast judge (not built yet).

#include "graph/edge_matrix.hpp"

namespace pellimor {

class IncrementalAdmissibility;

}  // namespace pellimor
