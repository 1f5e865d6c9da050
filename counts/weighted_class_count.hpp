#pragma once

// The essential graphs (Markov equivalence classes) on n labelled vertices
// weighted by y^edges, EG_n(y) of counts/edge_counts.hpp, at one real y > 0
// and any n, with the mean and the variance of the edges of a class drawn
// with that weight (the first two derivatives of log EG_n by log y). Where
// the counts by edges stop (a few hundred vertices), these give the weight
// y whose classes have a given mean edge count, and the share of the
// layered proposals that are kept, EG_n(y) / sum_k T(n, k).
//
// The recurrence is the one of counts/edge_counts.cpp, evaluated at y in
// floating point with GMP. Its terms alternate and, for sparse y, exceed the
// result by far (about 10^21 at n = 300 and mean degree 2), so the precision
// grows with n: each result is computed at two precisions, raised until
// they agree (512 bits suffice at n = 300 and mean degree 2, where 256 do
// not); each quantity carries its first two derivatives by t = log y (a jet).

#include <atomic>

namespace pellimor {

struct WeightedClassCount {
    double log_count = 0;   // log EG_n(y)
    double mean_edges = 0;  // of a class drawn with weight y^edges
    double variance_edges = 0;
};

// Requires n >= 0 and y > 0. About n^2 / 2 jets of products at each
// precision: a few seconds at n = 300, minutes at n = 1000 (for the
// benchmarks, not for a run's setup). Checks *stop (when given) between rows
// and throws SetupStopped once it is set.
WeightedClassCount weighted_class_count(int n, double y, const std::atomic<bool>* stop = nullptr);

}  // namespace pellimor
