#pragma once

// A sum of terms +-exp(l), each given by its log l, for the alternating sums
// of the layered proposal: the terms can be far outside the range of a
// double, and only the sum, scaled by its largest term, is needed.

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace pellimor {

class SignedLogSum {
  public:
    static constexpr long double none = -std::numeric_limits<long double>::infinity();

    void reset() {
        terms_.clear();
        largest_ = none;
    }
    // Adds exp(log_term), or its negative; a log of -infinity adds nothing.
    void add(long double log_term, bool negative) {
        if (log_term == none) {
            return;
        }
        terms_.push_back({log_term, negative});
        largest_ = std::max(largest_, log_term);
    }
    // The log of the largest term's size (none when there is no term).
    long double largest() const { return largest_; }
    // The sum divided by exp(largest()), summed in long double. Each term is
    // exponentiated in double: its relative error stays near 1e-16, which
    // the cancellation multiplies whatever the type of the sum.
    long double scaled_value() const {
        long double sum = 0;
        for (const Term& t : terms_) {
            const long double term = std::exp(static_cast<double>(t.log - largest_));
            sum += t.negative ? -term : term;
        }
        return sum;
    }
    // The log of the sum, none when it is not positive.
    long double log_value() const {
        const long double value = scaled_value();
        return value > 0 ? largest_ + std::log(value) : none;
    }

  private:
    struct Term {
        long double log;
        bool negative;
    };
    std::vector<Term> terms_;  // keeps its capacity across reset()
    long double largest_ = none;
};

}  // namespace pellimor
