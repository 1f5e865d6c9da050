#include "counts/class_counts.hpp"

#include <algorithm>

namespace pellimor {

namespace {

// B_k(2^m) for k + m <= n, at [m][k]: each S(k, j) added in at bit m j.
std::vector<std::vector<mpz_class>> bell_values(int n) {
    const auto size = static_cast<std::size_t>(n) + 1;
    std::vector<std::vector<mpz_class>> stirling(size);
    stirling[0] = {1};
    std::size_t longest = 1;  // limbs of the largest S(k, j)
    for (std::size_t k = 1; k < size; ++k) {
        stirling[k].assign(k + 1, 0);
        for (std::size_t j = 1; j <= k; ++j) {
            if (j < k) {
                stirling[k][j] = stirling[k - 1][j] * static_cast<unsigned long>(j);
            }
            stirling[k][j] += stirling[k - 1][j - 1];
            longest = std::max(longest, mpz_size(stirling[k][j].get_mpz_t()));
        }
    }
    std::vector<mp_limb_t> shifted(longest + 1);
    std::vector<std::vector<mpz_class>> values(size);
    for (std::size_t m = 0; m < size; ++m) {
        values[m].resize(size - m);
        for (std::size_t k = 0; k < size - m; ++k) {
            // Room for S(k, j) 2^(m j) for every j, and a carry.
            const std::size_t limbs = (m * k) / GMP_NUMB_BITS + longest + 2;
            const mpz_ptr v = values[m][k].get_mpz_t();
            mp_limb_t* out = mpz_limbs_write(v, static_cast<mp_size_t>(limbs));
            std::fill(out, out + limbs, mp_limb_t{0});
            for (std::size_t j = 0; j <= k; ++j) {
                const mpz_srcptr s = stirling[k][j].get_mpz_t();
                const auto s_limbs = static_cast<mp_size_t>(mpz_size(s));
                if (s_limbs == 0) {
                    continue;
                }
                const std::size_t bit = m * j;
                const std::size_t offset = bit / GMP_NUMB_BITS;
                const auto shift = static_cast<unsigned>(bit % GMP_NUMB_BITS);
                const mp_limb_t* source = mpz_limbs_read(s);
                mp_size_t add_limbs = s_limbs;
                if (shift != 0) {
                    shifted[static_cast<std::size_t>(s_limbs)] =
                        mpn_lshift(shifted.data(), source, s_limbs, shift);
                    source = shifted.data();
                    add_limbs = s_limbs + 1;
                }
                mpn_add(out + offset, out + offset, static_cast<mp_size_t>(limbs - offset), source,
                        add_limbs);
            }
            mp_size_t used = static_cast<mp_size_t>(limbs);
            while (used > 0 && out[used - 1] == 0) {
                --used;
            }
            mpz_limbs_finish(v, used);
        }
    }
    return values;
}

}  // namespace

ClassCounts class_counts_up_to(int n) {
    const auto size = static_cast<std::size_t>(n) + 1;
    const std::vector<std::vector<mpz_class>> bell = bell_values(n);
    ClassCounts c;
    c.essential_graphs.assign(size, 0);
    c.essential_graphs[0] = 1;
    mpz_class binomial;
    mpz_class term;
    mpz_class sum;
    for (std::size_t total = 1; total < size; ++total) {
        sum = 0;
        binomial = 1;
        for (std::size_t k = 1; k <= total; ++k) {
            binomial *= static_cast<unsigned long>(total - k + 1);
            mpz_divexact_ui(binomial.get_mpz_t(), binomial.get_mpz_t(),
                            static_cast<unsigned long>(k));
            const std::size_t m = total - k;
            term = binomial * c.essential_graphs[m];
            term *= bell[m][k];
            if (k % 2 == 1) {
                sum += term;
            } else {
                sum -= term;
            }
        }
        c.essential_graphs[total] = sum;
    }
    c.connected_essential_graphs = connected_from_totals(c.essential_graphs);
    return c;
}

std::vector<mpz_class> connected_from_totals(const std::vector<mpz_class>& totals) {
    std::vector<mpz_class> connected(totals.size(), 0);
    mpz_class binomial;
    for (std::size_t n = 1; n < totals.size(); ++n) {
        // Graphs by the component of vertex 0, of size k: C(n-1, k-1) ways.
        connected[n] = totals[n];
        binomial = 1;
        for (std::size_t k = 1; k < n; ++k) {
            connected[n] -= binomial * connected[k] * totals[n - k];
            binomial *= static_cast<unsigned long>(n - k);
            mpz_divexact_ui(binomial.get_mpz_t(), binomial.get_mpz_t(),
                            static_cast<unsigned long>(k));
        }
    }
    return connected;
}

}  // namespace pellimor
