#include "counts/significant_digits.hpp"

#include <stdexcept>

namespace pellimor {

namespace {

// digits: exactly count_digits decimal digits d1 d2 ..., value d1.d2... 10^exponent.
std::string layout(const std::string& digits, long exponent) {
    // Built by appending: GCC 12 warns (wrongly, -Wrestrict) about inlined
    // operator+ chains.
    std::string text;
    if (exponent < -5 || exponent >= count_digits) {
        const long magnitude = exponent < 0 ? -exponent : exponent;
        text += digits[0];
        text += '.';
        text.append(digits, 1);
        text += exponent < 0 ? "e-" : "e+";
        if (magnitude < 10) {
            text += '0';
        }
        text += std::to_string(magnitude);
    } else if (exponent < 0) {
        text += "0.";
        text.append(static_cast<std::size_t>(-exponent - 1), '0');
        text += digits;
    } else {
        const auto whole = static_cast<std::size_t>(exponent) + 1;
        text.append(digits, 0, whole);
        if (whole < digits.size()) {
            text += '.';
            text.append(digits, whole);
        }
    }
    return text;
}

}  // namespace

std::string significant_digits(const mpz_class& numerator, const mpz_class& denominator) {
    if (sgn(denominator) <= 0 || sgn(numerator) < 0) {
        throw std::invalid_argument(
            "significant_digits needs a numerator >= 0 over a denominator > 0");
    }
    if (sgn(numerator) == 0) {
        return "0";
    }
    // The exponent e with 10^e <= value < 10^(e+1), from an estimate that is
    // off by at most one; `digits` = floor(value 10^(count_digits - 1 - e)).
    long exponent = static_cast<long>(mpz_sizeinbase(numerator.get_mpz_t(), 10)) -
                    static_cast<long>(mpz_sizeinbase(denominator.get_mpz_t(), 10));
    mpz_class power;
    mpz_class top;
    mpz_class bottom;
    mpz_class digits;
    // top / bottom = value 10^(count_digits - 1 - e) exactly.
    const auto scale = [&](long e) {
        const long shift = count_digits - 1 - e;
        mpz_ui_pow_ui(power.get_mpz_t(), 10,
                      static_cast<unsigned long>(shift < 0 ? -shift : shift));
        top = shift >= 0 ? mpz_class(numerator * power) : numerator;
        bottom = shift >= 0 ? denominator : mpz_class(denominator * power);
        mpz_fdiv_q(digits.get_mpz_t(), top.get_mpz_t(), bottom.get_mpz_t());
    };
    mpz_class low;
    mpz_ui_pow_ui(low.get_mpz_t(), 10, count_digits - 1);
    const mpz_class high = low * 10;
    for (scale(exponent); digits < low || digits >= high; scale(exponent)) {
        exponent += digits < low ? -1 : 1;
    }
    // Round half up: floor((2 top + bottom) / (2 bottom)).
    top = 2 * top + bottom;
    bottom *= 2;
    mpz_fdiv_q(digits.get_mpz_t(), top.get_mpz_t(), bottom.get_mpz_t());
    if (digits == high) {
        digits = low;
        ++exponent;
    }
    return layout(digits.get_str(), exponent);
}

std::string significant_digits(const mpq_class& value) {
    return significant_digits(value.get_num(), value.get_den());
}

std::string significant_digits(const mpf_class& value) {
    if (sgn(value) < 0) {
        throw std::invalid_argument("significant_digits of a negative number");
    }
    if (sgn(value) == 0) {
        return "0";
    }
    mp_exp_t exponent = 0;
    char* text = mpf_get_str(nullptr, &exponent, 10, count_digits, value.get_mpf_t());
    std::string digits(text);
    void (*release)(void*, std::size_t) = nullptr;
    mp_get_memory_functions(nullptr, nullptr, &release);
    release(text, digits.size() + 1);
    digits.resize(count_digits, '0');
    return layout(digits, static_cast<long>(exponent) - 1);
}

}  // namespace pellimor
