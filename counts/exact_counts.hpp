#pragma once

// The numbers of labelled DAGs, a(n), and of essential DAGs (those alone in
// their Markov equivalence class), e(n), on n vertices: exactly with GMP up to
// exact_count_limit, and as base-10 logarithms for any n.
//
//   a(0) = 1, a(n) = sum_{k=1..n} (-1)^(k+1) C(n,k) 2^(k(n-k)) a(n-k)
//   e(0) = 1, e(n) = sum_{k=1..n} (-1)^(k+1) C(n,k) (2^(n-k) - (n-k))^k e(n-k)

#include <gmpxx.h>

#include <string>
#include <vector>

namespace pellimor {

// The largest n whose counts are computed exactly: both tables up to this n
// take 0.2 to 0.5 s together on our shared build machine (n = 300: 0.4 to 1 s).
inline constexpr int exact_count_limit = 256;

// a(m) and e(m) for m = 0 .. n, exactly. Requires 0 <= n.
struct ExactCounts {
    std::vector<mpz_class> dags;
    std::vector<mpz_class> essential_dags;
};
ExactCounts exact_counts_up_to(int n);

// log10 a(n) and log10 e(n) for n >= 0, to about double precision, from the
// same recurrences scaled by n! 2^(n(n-1)/2), in which every term is a double
// of modest size.
double log10_dag_count(int n);
double log10_essential_dag_count(int n);

// log10 of a positive integer of any size, to double precision.
double log10_of(const mpz_class& value);

}  // namespace pellimor
