#pragma once

// Integer polynomials recovered from their values: a family P_0 .. P_N with
// non-negative integer coefficients below 2^bits, given only a way to
// evaluate all of them at one point modulo a prime.
//
// For each of enough primes p = c 2^16 + 1 (between 2^55 and 2^56) the family
// is evaluated at the L-th roots of unity mod p, L the smallest power of two
// above every degree; an inverse number-theoretic transform of length L gives
// each P_n's coefficients mod p, and the Chinese remainder theorem over the
// primes, whose product exceeds 2^bits, gives them exactly. So every
// recurrence that holds for the polynomials can be run on plain residues, one
// point at a time, without ever multiplying two polynomials.

#include <gmpxx.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "counts/montgomery.hpp"

namespace pellimor {

// Fills values[n], n = 0 .. N, with P_n(y) mod field.modulus(); y and the
// values are in the field's Montgomery form.
using FamilyEvaluator =
    std::function<void(const Montgomery& field, std::uint64_t y, std::uint64_t* values)>;

// Called once per prime before its points, so that an evaluator can build
// tables that depend on the prime only (factorials, inverses).
using PrimeSetup = std::function<void(const Montgomery& field)>;

// The coefficients of P_0 .. P_N, where N + 1 = degrees.size() and deg P_n
// <= degrees[n] <= 2^16 - 1; result[n] has degrees[n] + 1 entries. Every
// coefficient must lie in [0, 2^bits).
std::vector<std::vector<mpz_class>> interpolate_family(const std::vector<int>& degrees,
                                                       std::size_t bits, const PrimeSetup& setup,
                                                       const FamilyEvaluator& evaluate);

}  // namespace pellimor
