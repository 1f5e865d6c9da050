#include "sampler/class_sampler.hpp"

#include <algorithm>

namespace pellimor {

namespace {

std::size_t at(int v) {
    return static_cast<std::size_t>(v);
}

using Part = AmoDecomposition::Part;
using PartKind = AmoDecomposition::PartKind;

static_assert(GMP_NUMB_BITS == 64, "random limbs are drawn as 64-bit words");

template <typename T>
void shuffle(T* first, int k, Xoshiro256StarStar& rng) {
    for (int i = k - 1; i > 0; --i) {
        std::swap(first[i], first[rng() % static_cast<std::uint64_t>(i + 1)]);
    }
}

}  // namespace

ClassSampler::ClassSampler(const EquivalenceClass& c)
    : class_(&c), position_(static_cast<std::size_t>(c.essential().n), 0) {
    int largest = 0;
    for (int i = 0; i < c.component_count(); ++i) {
        largest = std::max(largest, c.decomposition(i).size());
    }
    order_.resize(at(largest));
    perm_.resize(at(largest));
    queue_.resize(at(largest));
    seen_.assign(at(largest), 0);
}

void ClassSampler::uniform_below(const mpz_class& bound, Xoshiro256StarStar& rng) {
    const std::size_t bits = mpz_sizeinbase(bound.get_mpz_t(), 2);
    const auto limbs = static_cast<mp_size_t>((bits + 63) / 64);
    const std::uint64_t top_mask =
        bits % 64 == 0 ? ~std::uint64_t{0} : (std::uint64_t{1} << (bits % 64)) - 1;
    do {  // accepted with probability above 1/2
        mp_limb_t* limb = mpz_limbs_write(value_.get_mpz_t(), limbs);
        for (mp_size_t i = 0; i < limbs; ++i) {
            limb[i] = rng();
        }
        limb[limbs - 1] &= top_mask;
        mpz_limbs_finish(value_.get_mpz_t(), limbs);
    } while (value_ >= bound);
}

void ClassSampler::draw_part(const AmoDecomposition& d, int id, Xoshiro256StarStar& rng, int* out) {
    const Part& p = d.part(id);
    const int k = p.size();
    switch (p.kind) {
        case PartKind::CLIQUE:
            std::copy(p.vertices.begin(), p.vertices.end(), out);
            shuffle(out, k, rng);
            return;
        case PartKind::TREE: {
            // Breadth-first from a uniform root: a topological order of the
            // tree oriented away from it.
            const int root = static_cast<int>(rng() % static_cast<std::uint64_t>(k));
            int end = 0;
            queue_[at(end++)] = root;
            seen_[at(root)] = 1;
            for (int q = 0; q < end; ++q) {
                const int v = queue_[at(q)];
                out[q] = p.vertices[at(v)];
                for (int e = p.adjacency_begin[at(v)]; e < p.adjacency_begin[at(v) + 1]; ++e) {
                    const int u = p.adjacency[at(e)];
                    if (seen_[at(u)] == 0) {
                        seen_[at(u)] = 1;
                        queue_[at(end++)] = u;
                    }
                }
            }
            for (int q = 0; q < end; ++q) {
                seen_[at(queue_[at(q)])] = 0;
            }
            return;
        }
        case PartKind::GENERAL:
            break;
    }
    uniform_below(p.count, rng);
    const auto chosen = std::upper_bound(p.cumulative.begin(), p.cumulative.end(), value_);
    const int c = static_cast<int>(chosen - p.cumulative.begin());
    const CliqueTree& tree = p.tree;
    const int size = tree.clique_size(c);
    const int* members = tree.clique(c);
    const int* levels = p.levels.data() + tree.begin[at(c)];
    const std::span<const int> forbidden = p.forbidden(c);
    // Uniform orders of K (as places in the clique) until one has no
    // forbidden prefix: the first a_j places all of level <= j.
    int* perm = perm_.data();
    for (bool ok = false; !ok;) {
        for (int i = 0; i < size; ++i) {
            perm[i] = i;
        }
        shuffle(perm, size, rng);
        ok = true;
        int highest = -1;
        std::size_t j = 0;
        for (int length = 1; length <= size && j < forbidden.size(); ++length) {
            highest = std::max(highest, levels[perm[length - 1]]);
            if (forbidden[j] == length) {
                if (highest <= static_cast<int>(j)) {
                    ok = false;
                    break;
                }
                ++j;
            }
        }
    }
    for (int i = 0; i < size; ++i) {
        out[i] = p.vertices[at(members[perm[i]])];
    }
    int next = size;
    auto reach = [&](auto& self, int piece) -> void {
        for (const int g : p.piece_groups(piece)) {
            draw_part(d, g, rng, out + next);
            next += d.part(g).size();
        }
        for (const int e : p.piece_exits(piece)) {
            self(self, e);
        }
    };
    p.pieces_from(c, [&](int piece) { reach(reach, piece); });
}

void ClassSampler::draw(Xoshiro256StarStar& rng) {
    for (int i = 0; i < class_->component_count(); ++i) {
        const AmoDecomposition& d = class_->decomposition(i);
        draw_part(d, 0, rng, order_.data());
        const std::vector<int>& vertices = class_->component_vertices(i);
        for (int place = 0; place < d.size(); ++place) {
            position_[at(vertices[at(order_[at(place)])])] = place;
        }
    }
}

}  // namespace pellimor
