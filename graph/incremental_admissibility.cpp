#include "graph/incremental_admissibility.hpp"
