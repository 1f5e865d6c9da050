#pragma once

// Numbers known to many digits, as text with 12 significant digits, rounded
// to nearest: "0.274213578722", "16400.7632207", "1.23456789012e+300".
// Fixed-point for decimal exponents -5 .. 11, else scientific; 0 as "0".

#include <gmpxx.h>

#include <string>

namespace pellimor {

inline constexpr int count_digits = 12;

// numerator / denominator, exactly rounded; the fraction need not be in
// lowest terms. Requires numerator >= 0, denominator > 0.
std::string significant_digits(const mpz_class& numerator, const mpz_class& denominator);
std::string significant_digits(const mpq_class& value);

// A non-negative floating-point number of any exponent.
std::string significant_digits(const mpf_class& value);

}  // namespace pellimor
