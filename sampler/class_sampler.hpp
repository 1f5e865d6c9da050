#pragma once

// Uniformly random DAGs of one Markov equivalence class, each draw
// independent of the others. Each chain component's AMO is drawn along its
// clique-picking decomposition (graph/amo_decomposition.hpp): the prefix
// clique K with probability phi(K) prod #AMO(H) / #AMO, an order of K
// uniformly among those without a forbidden prefix (uniform orders of K,
// drawn again until one has none: at least a third of them qualify, as a
// prefix of size a is one of C(|K|, a) equally likely sets, and the nested
// forbidden sets have distinct sizes), then each group's AMO the same way (a
// clique by a uniform order, a tree by a uniform root). Every AMO is one
// such sequence of choices, so each comes out with probability 1 / #AMO.

#include <gmpxx.h>

#include <cstdint>
#include <span>
#include <vector>

#include "graph/equivalence_class.hpp"
#include "sampler/random.hpp"

namespace pellimor {

class ClassSampler {
  public:
    // Scratch for drawing from c, which must outlive the sampler. Several
    // samplers may draw from one class at once.
    explicit ClassSampler(const EquivalenceClass& c);

    // Draws a DAG: afterwards position() names it (EquivalenceClass::orient).
    // Allocates nothing once each part has been drawn from once.
    void draw(Xoshiro256StarStar& rng);

    std::span<const int> position() const { return position_; }

  private:
    void draw_part(const AmoDecomposition& d, int part, Xoshiro256StarStar& rng, int* out);
    // A uniform integer in [0, bound), into value_.
    void uniform_below(const mpz_class& bound, Xoshiro256StarStar& rng);

    const EquivalenceClass* class_;
    std::vector<int> position_;
    std::vector<int> order_;  // one component's vertices in a drawn topological order
    std::vector<int> perm_, queue_;
    std::vector<char> seen_;
    mpz_class value_;
};

}  // namespace pellimor
