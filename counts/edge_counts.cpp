#include "counts/edge_counts.hpp"

#include <stdexcept>
#include <string>

#include "counts/exact_counts.hpp"
#include "counts/modular_interpolation.hpp"

namespace pellimor {

namespace {

void check_size(int max_n) {
    if (max_n < 0 || max_n > edge_triangle_limit) {
        throw std::invalid_argument(
            "counts by edges need 0 <= n <= " + std::to_string(edge_triangle_limit) + ", got " +
            std::to_string(max_n));
    }
}

std::vector<int> triangle_degrees(int max_n) {
    std::vector<int> degrees;
    for (int n = 0; n <= max_n; ++n) {
        degrees.push_back(n * (n - 1) / 2);
    }
    return degrees;
}

// Every coefficient of both triangles is at most a(max_n): a class holds at
// least one DAG, and a(n) grows with n.
std::size_t coefficient_bits(int max_n) {
    const ExactCounts counts = exact_counts_up_to(max_n);
    return mpz_sizeinbase(counts.dags[static_cast<std::size_t>(max_n)].get_mpz_t(), 2);
}

// n!, 1/n! and 1/n mod the current prime, Montgomery form.
struct FactorialTables {
    std::vector<std::uint64_t> factorial;
    std::vector<std::uint64_t> inverse_factorial;
    std::vector<std::uint64_t> inverse;

    void build(const Montgomery& f, int max_n) {
        const auto size = static_cast<std::size_t>(max_n) + 1;
        factorial.assign(size, f.to(1));
        inverse_factorial.assign(size, f.to(1));
        inverse.assign(size, f.to(1));
        for (std::size_t i = 1; i < size; ++i) {
            factorial[i] = f.mul(factorial[i - 1], f.to(i));
            inverse[i] = f.inverse(f.to(i));
            inverse_factorial[i] = f.mul(inverse_factorial[i - 1], inverse[i]);
        }
    }
};

}  // namespace

// Why the recurrence for EG_n(y) holds. Essential graphs are the mixed graphs
// in which arrows close over lines, there is no directed cycle, the lines
// form chordal chain components and every arrow is protected, i.e. is
// a -> b in one of: c -> a -> b (c, b apart); a -> b <- c (a, c apart);
// a -> c -> b; a - c1 -> b and a - c2 -> b (c1, c2 apart).
//
// 1. Since arrows close over lines, all vertices of a chain component s have
//    the same parents P(s).
// 2. Call a vertex removable when it has no children and its line
//    neighbours are pairwise adjacent. A terminal chain component (no arrow
//    leaves it) is chordal, so it has a simplicial vertex, which is
//    removable: every essential graph with a vertex has a removable one.
// 3. Removing any set S of removable vertices leaves an essential graph H.
//    Induced subgraphs keep the first three conditions; chain components
//    stay connected (the vertices removed are simplicial in them), so they
//    keep their parents. In each protecting configuration of an arrow
//    a -> b the extra vertices have a child (a, or b), so none is removable
//    and every arrow of H keeps its protection.
// 4. Pieces: two removable vertices are never joined by an arrow (neither
//    has children); joined by lines they form cliques, the pieces of S, and
//    the line neighbours of a removable vertex are a clique, so all vertices
//    of a piece have the same neighbours X in H. Conversely, given H and a
//    piece of new vertices (a clique of lines) with neighbourhood X in H,
//    exactly one choice of arrows and lines makes an essential graph in
//    which the new vertices are removable:
//    - if X = P(s) u K for a chain component s of H and a non-empty clique K
//      of s (K is X's set of vertices without children in X, so s and K are
//      determined by X), the piece joins s: lines to K, arrows from P(s).
//      Each arrow p -> v inherits a protecting configuration from p -> x,
//      x in K, since v has x's parents and its other neighbours in H are x
//      and x's line neighbours. A line to a vertex of s forces this form.
//    - otherwise there can be no line, and the piece is a chain component of
//      its own with parents X. Its arrow x -> v is unprotected exactly when
//      every vertex of X is adjacent to x but not its child (no c -> v <- x
//      with c, x apart, no x -> c -> v), P(s_x) lies in X (no c -> x -> v
//      with c, v apart), and x's line neighbours in X are pairwise adjacent:
//      that is, when X = P(s_x) u K with K a clique of lines holding x, the
//      case excluded.
//    Pieces are not adjacent to each other and nothing of H changes, so the
//    pieces choose their X independently.
// 5. So for a fixed set S of k labelled vertices and any H on the other m,
//    the essential graphs G with G - S = H and all of S removable number
//    sum_j S(k, j) 2^(m j) = B_k(2^m) (S(k, j) partitions into j pieces).
//    A piece of b vertices with |X| = x brings C(b,2) + b x edges, which
//    gives the weight W_{k,m}(y) and the factor EG_m(y) for H.
// 6. Every G on n >= 1 vertices has a non-empty set R of removable vertices
//    and sum over non-empty S in R of (-1)^(|S|+1) = 1, so
//    EG_n(y) = sum_G y^edges(G) = sum_{k>=1} (-1)^(k+1) sum_{|S|=k} sum_{G:
//    S in R(G)} y^edges(G) = sum_k (-1)^(k+1) C(n,k) W_{k,n-k}(y) EG_{n-k}(y).
//    At y = 1, W_{k,m}(1) = B_k(2^m). Robinson's recurrence for DAGs is the
//    same argument with sinks for removable vertices.
//
// At one point y, with everything divided by factorials so that the
// binomials disappear: V_{k,m} = W_{k,m}(y) / k! satisfies, by the block that
// holds the last vertex,
//   k V_{k,m} = sum_{b=1..k} U_{b,m} V_{k-b,m},  U_{b,m} = y^C(b,2) (1+y^b)^m / (b-1)!,
// and E_n = EG_n(y) / n! satisfies E_n = sum_k (-1)^(k+1) V_{k,n-k} E_{n-k}.
EdgeTriangle essential_graphs_by_edges(int max_n) {
    check_size(max_n);
    const auto size = static_cast<std::size_t>(max_n) + 1;
    FactorialTables tables;
    std::vector<std::uint64_t> y_power(size);        // y^b
    std::vector<std::uint64_t> y_pairs(size);        // y^C(b,2)
    std::vector<std::uint64_t> one_plus(size);       // (1 + y^b)^m
    std::vector<std::uint64_t> block(size);          // U_{b,m}
    std::vector<std::uint64_t> scaled(size * size);  // V_{k,m} at [m * size + k]
    std::vector<std::uint64_t> classes(size);        // E_n
    const auto setup = [&](const Montgomery& f) { tables.build(f, max_n); };
    const auto evaluate = [&](const Montgomery& f, std::uint64_t y, std::uint64_t* values) {
        const std::uint64_t one = f.to(1);
        y_power[0] = one;
        y_pairs[0] = one;
        for (std::size_t b = 1; b < size; ++b) {
            y_power[b] = f.mul(y_power[b - 1], y);
            y_pairs[b] = f.mul(y_pairs[b - 1], y_power[b - 1]);
            one_plus[b] = one;
        }
        for (std::size_t m = 0; m < size; ++m) {
            const std::size_t top = size - 1 - m;  // k + m <= max_n
            std::uint64_t* v = &scaled[m * size];
            v[0] = one;
            for (std::size_t b = 1; b <= top; ++b) {
                block[b] = f.mul(f.mul(y_pairs[b], one_plus[b]), tables.inverse_factorial[b - 1]);
            }
            for (std::size_t k = 1; k <= top; ++k) {
                Uint128 sum = 0;
                for (std::size_t b = 1; b <= k; ++b) {
                    sum += static_cast<Uint128>(block[b]) * v[k - b];
                }
                v[k] = f.mul(f.reduce(sum), tables.inverse[k]);
            }
            for (std::size_t b = 1; b < top; ++b) {
                one_plus[b] = f.mul(one_plus[b], f.add(one, y_power[b]));
            }
        }
        classes[0] = one;
        values[0] = one;
        for (std::size_t n = 1; n < size; ++n) {
            Uint128 plus = 0;
            Uint128 minus = 0;
            for (std::size_t k = 1; k <= n; ++k) {
                const Uint128 term =
                    static_cast<Uint128>(scaled[(n - k) * size + k]) * classes[n - k];
                if (k % 2 == 1) {
                    plus += term;
                } else {
                    minus += term;
                }
            }
            classes[n] = f.sub(f.reduce(plus), f.reduce(minus));
            values[n] = f.mul(classes[n], tables.factorial[n]);
        }
    };
    return interpolate_family(triangle_degrees(max_n), coefficient_bits(max_n), setup, evaluate);
}

// At one point, with A_n = a_n(y) / n!:
//   A_n = sum_k (-1)^(k+1) (1+y)^(k(n-k)) / k! A_{n-k}.
EdgeTriangle dags_by_edges(int max_n) {
    check_size(max_n);
    const auto size = static_cast<std::size_t>(max_n) + 1;
    FactorialTables tables;
    std::vector<std::uint64_t> one_plus_power(size * size / 4 + 1);  // (1+y)^j
    std::vector<std::uint64_t> dags(size);
    const auto setup = [&](const Montgomery& f) { tables.build(f, max_n); };
    const auto evaluate = [&](const Montgomery& f, std::uint64_t y, std::uint64_t* values) {
        const std::uint64_t one = f.to(1);
        const std::uint64_t base = f.add(one, y);
        one_plus_power[0] = one;
        for (std::size_t j = 1; j < one_plus_power.size(); ++j) {
            one_plus_power[j] = f.mul(one_plus_power[j - 1], base);
        }
        dags[0] = one;
        values[0] = one;
        for (std::size_t n = 1; n < size; ++n) {
            Uint128 plus = 0;
            Uint128 minus = 0;
            for (std::size_t k = 1; k <= n; ++k) {
                const std::uint64_t weight =
                    f.mul(one_plus_power[k * (n - k)], tables.inverse_factorial[k]);
                const Uint128 term = static_cast<Uint128>(weight) * dags[n - k];
                if (k % 2 == 1) {
                    plus += term;
                } else {
                    minus += term;
                }
            }
            dags[n] = f.sub(f.reduce(plus), f.reduce(minus));
            values[n] = f.mul(dags[n], tables.factorial[n]);
        }
    };
    return interpolate_family(triangle_degrees(max_n), coefficient_bits(max_n), setup, evaluate);
}

}  // namespace pellimor
