#include "counts/modular_interpolation.hpp"

#include <algorithm>
#include <stdexcept>

namespace pellimor {

namespace {

constexpr int root_order_bits = 16;
constexpr std::uint64_t root_order = std::uint64_t{1} << root_order_bits;
constexpr int prime_bits = 56;  // primes lie in [2^55, 2^56)

struct NttPrime {
    std::uint64_t p;
    std::uint64_t root;  // of multiplicative order 2^16, as a plain residue
};

// The primes c 2^16 + 1 below 2^56, largest first, each with an element of
// order 2^16.
std::vector<NttPrime> ntt_primes(std::size_t count) {
    std::vector<NttPrime> primes;
    std::uint64_t c = ((std::uint64_t{1} << prime_bits) - 1) >> root_order_bits;
    const std::uint64_t least_c = (std::uint64_t{1} << (prime_bits - 1)) >> root_order_bits;
    mpz_class candidate;
    while (primes.size() < count) {
        if (c < least_c) {
            throw std::length_error("too many coefficient bits for the modular interpolation");
        }
        const std::uint64_t p = c * root_order + 1;
        --c;
        candidate = static_cast<unsigned long>(p);
        if (mpz_probab_prime_p(candidate.get_mpz_t(), 30) == 0) {
            continue;
        }
        // a^((p-1)/2^16) has order 2^16 exactly when its 2^15-th power is -1.
        const Montgomery field(p);
        for (std::uint64_t a = 3;; a += 2) {
            const std::uint64_t g = field.pow(field.to(a), (p - 1) / root_order);
            if (field.from(field.pow(g, root_order / 2)) == p - 1) {
                primes.push_back({p, field.from(g)});
                break;
            }
        }
    }
    return primes;
}

// In-place inverse transform of length L (a power of two): from the values
// at w^0 .. w^(L-1) to the coefficients. inverse_root = w^-1, Montgomery form.
void inverse_ntt(const Montgomery& f, std::vector<std::uint64_t>& a, std::uint64_t inverse_root) {
    const std::size_t length = a.size();
    for (std::size_t i = 1, j = 0; i < length; ++i) {
        std::size_t bit = length >> 1;
        for (; (j & bit) != 0; bit >>= 1) {
            j ^= bit;
        }
        j ^= bit;
        if (i < j) {
            std::swap(a[i], a[j]);
        }
    }
    std::vector<std::uint64_t> twiddle;
    for (std::size_t half = 1; half < length; half <<= 1) {
        // A root of order 2 half.
        const std::uint64_t step = f.pow(inverse_root, length / (2 * half));
        twiddle.assign(half, 0);
        twiddle[0] = f.to(1);
        for (std::size_t k = 1; k < half; ++k) {
            twiddle[k] = f.mul(twiddle[k - 1], step);
        }
        for (std::size_t start = 0; start < length; start += 2 * half) {
            for (std::size_t k = 0; k < half; ++k) {
                const std::uint64_t u = a[start + k];
                const std::uint64_t v = f.mul(a[start + k + half], twiddle[k]);
                a[start + k] = f.add(u, v);
                a[start + k + half] = f.sub(u, v);
            }
        }
    }
    const std::uint64_t scale = f.inverse(f.to(length));
    for (auto& x : a) {
        x = f.mul(x, scale);
    }
}

}  // namespace

std::vector<std::vector<mpz_class>> interpolate_family(const std::vector<int>& degrees,
                                                       std::size_t bits, const PrimeSetup& setup,
                                                       const FamilyEvaluator& evaluate) {
    const std::size_t family = degrees.size();
    const int max_degree = degrees.empty() ? 0 : *std::max_element(degrees.begin(), degrees.end());
    if (max_degree >= static_cast<int>(root_order)) {
        throw std::length_error("polynomial degree too large for the modular interpolation");
    }
    std::size_t length = 1;
    while (length <= static_cast<std::size_t>(max_degree)) {
        length <<= 1;
    }
    const std::size_t prime_count = (bits + prime_bits - 2) / (prime_bits - 1) + 1;
    const std::vector<NttPrime> primes = ntt_primes(prime_count);

    std::vector<std::vector<mpz_class>> result(family);
    for (std::size_t n = 0; n < family; ++n) {
        result[n].assign(static_cast<std::size_t>(degrees[n]) + 1, 0);
    }
    // Garner's form of the Chinese remainder theorem, one prime at a time:
    // with x the value mod M = p_0 ... p_(j-1), the value mod M p_j is
    // x + M ((r - x) M^-1 mod p_j).
    mpz_class modulus_so_far = 1;
    std::vector<std::vector<std::uint64_t>> values(family, std::vector<std::uint64_t>(length));
    std::vector<std::uint64_t> at_point(family);
    for (const NttPrime& prime : primes) {
        const Montgomery f(prime.p);
        setup(f);
        const std::uint64_t root = f.pow(f.to(prime.root), root_order / length);
        std::uint64_t y = f.to(1);
        for (std::size_t i = 0; i < length; ++i) {
            evaluate(f, y, at_point.data());
            for (std::size_t n = 0; n < family; ++n) {
                values[n][i] = at_point[n];
            }
            y = f.mul(y, root);
        }
        const std::uint64_t inverse_root = f.inverse(root);
        const std::uint64_t m_mod_p = mpz_fdiv_ui(modulus_so_far.get_mpz_t(), prime.p);
        const std::uint64_t m_inverse = f.inverse(f.to(m_mod_p));
        for (std::size_t n = 0; n < family; ++n) {
            inverse_ntt(f, values[n], inverse_root);
            for (std::size_t e = 0; e < result[n].size(); ++e) {
                mpz_class& x = result[n][e];
                const std::uint64_t r = f.from(values[n][e]);
                const std::uint64_t x_mod_p = mpz_fdiv_ui(x.get_mpz_t(), prime.p);
                const std::uint64_t t = f.from(
                    f.mul(f.to(r >= x_mod_p ? r - x_mod_p : r + prime.p - x_mod_p), m_inverse));
                mpz_addmul_ui(x.get_mpz_t(), modulus_so_far.get_mpz_t(),
                              static_cast<unsigned long>(t));
            }
        }
        modulus_so_far *= static_cast<unsigned long>(prime.p);
    }
    return result;
}

}  // namespace pellimor
