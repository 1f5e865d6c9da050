#pragma once

// Counts by number of edges on n labelled vertices, exactly: the coefficient
// of y^e in
//
//   EG_n(y): essential graphs (Markov equivalence classes) with e edges,
//            arrows and lines together;
//   a_n(y):  DAGs with e arrows.
//
// Recurrences (the proof of the first is in counts/edge_counts.cpp):
//
//   EG_0 = 1,  EG_n(y) = sum_{k=1..n} (-1)^(k+1) C(n,k) W_{k,n-k}(y) EG_{n-k}(y),
//   W_{k,m}(y) = sum over the set partitions of k labelled vertices of the
//                product over blocks (b = block size) of y^C(b,2) (1 + y^b)^m;
//   a_0 = 1,   a_n(y) = sum_{k=1..n} (-1)^(k+1) C(n,k) (1+y)^(k(n-k)) a_{n-k}(y).
//
// Both are computed by evaluation at roots of unity modulo primes and exact
// interpolation (counts/modular_interpolation.hpp): at one point the
// recurrences cost O(n^3) and O(n^2) residue operations, at about n^2 / 2
// points for each of about n^2 / 110 primes, so the whole triangle up to n
// costs O(n^7) for essential graphs: 0.5 s of CPU at n = 40, 5 s at n = 60
// (bench/count_time.sh), and the triangle itself takes about n^5 / 20 bits.

#include <gmpxx.h>

#include <vector>

namespace pellimor {

// rows[n][e] for n = 0 .. max_n and e = 0 .. n(n-1)/2.
using EdgeTriangle = std::vector<std::vector<mpz_class>>;

// The largest max_n the functions below accept (sums of up to max_n products
// of residues are reduced at once). Time and memory make about 128 the
// practical end.
inline constexpr int edge_triangle_limit = 256;

// EG_n(y) for n = 0 .. max_n. Requires 0 <= max_n <= edge_triangle_limit.
EdgeTriangle essential_graphs_by_edges(int max_n);

// a_n(y) for n = 0 .. max_n. Requires 0 <= max_n <= edge_triangle_limit.
EdgeTriangle dags_by_edges(int max_n);

}  // namespace pellimor
