#pragma once

// The number of essential graphs (Markov equivalence classes) EG(n) on n
// labelled vertices, and of those with a connected skeleton, exactly:
//
//   EG(0) = 1,  EG(n) = sum_{k=1..n} (-1)^(k+1) C(n,k) B_k(2^(n-k)) EG(n-k),
//
// B_k(x) = sum_j S(k,j) x^j, S the Stirling numbers of the second kind. This
// is EG_n(y) of counts/edge_counts.hpp at y = 1, where the proof is. (The
// edge moments come from counts/scaled_counts.hpp: exact jets here would cost
// six products of large integers per term instead of one.)

#include <gmpxx.h>

#include <vector>

namespace pellimor {

// Everything for m = 0 .. n; index m.
struct ClassCounts {
    std::vector<mpz_class> essential_graphs;            // EG(m)
    std::vector<mpz_class> connected_essential_graphs;  // with a connected skeleton
};

// Requires 0 <= n. About 0.3 s of CPU at n = 256 (bench/count_time.sh).
ClassCounts class_counts_up_to(int n);

// Connected counts from totals by the exponential formula (a graph belongs
// to the family exactly when each of its components does): index 0 gives 0.
std::vector<mpz_class> connected_from_totals(const std::vector<mpz_class>& totals);

}  // namespace pellimor
