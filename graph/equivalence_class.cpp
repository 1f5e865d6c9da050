#include "graph/equivalence_class.hpp"

#include <cmath>
#include <numeric>

namespace pellimor {

namespace {

std::size_t at(int v) {
    return static_cast<std::size_t>(v);
}

// The chain components of two or more vertices, each with its own
// adjacency: vertex ids sorted, neighbours as indices into them.
template <typename Add>
void for_each_component(int n, std::span<const VertexPair> lines, Add add) {
    std::vector<int> root(at(n));
    std::iota(root.begin(), root.end(), 0);
    auto find = [&](int v) {
        while (root[at(v)] != v) {
            root[at(v)] = root[at(root[at(v)])];
            v = root[at(v)];
        }
        return v;
    };
    std::vector<int> degree(at(n), 0);
    for (const VertexPair& l : lines) {
        root[at(find(l.from))] = find(l.to);
        ++degree[at(l.from)];
        ++degree[at(l.to)];
    }
    // Components numbered by their lowest vertex; vertices in order.
    std::vector<int> component_of_root(at(n), -1);
    std::vector<int> component(at(n), -1);
    std::vector<int> local(at(n), -1);
    std::vector<std::vector<int>> members;
    for (int v = 0; v < n; ++v) {
        if (degree[at(v)] == 0) {
            continue;
        }
        int& c = component_of_root[at(find(v))];
        if (c < 0) {
            c = static_cast<int>(members.size());
            members.emplace_back();
        }
        component[at(v)] = c;
        local[at(v)] = static_cast<int>(members[at(c)].size());
        members[at(c)].push_back(v);
    }
    std::vector<std::vector<int>> offsets(members.size());
    std::vector<std::vector<int>> targets(members.size());
    for (std::size_t c = 0; c < members.size(); ++c) {
        offsets[c].assign(members[c].size() + 1, 0);
        for (std::size_t i = 0; i < members[c].size(); ++i) {
            offsets[c][i + 1] = offsets[c][i] + degree[at(members[c][i])];
        }
        targets[c].resize(at(offsets[c].back()));
    }
    std::vector<int> fill(at(n), 0);
    for (const VertexPair& l : lines) {
        const std::size_t c = at(component[at(l.from)]);
        const int a = local[at(l.from)];
        const int b = local[at(l.to)];
        targets[c][at(offsets[c][at(a)] + fill[at(l.from)]++)] = b;
        targets[c][at(offsets[c][at(b)] + fill[at(l.to)]++)] = a;
    }
    for (std::size_t c = 0; c < members.size(); ++c) {
        add(std::move(members[c]), std::move(offsets[c]), std::move(targets[c]));
    }
}

}  // namespace

EquivalenceClass::EquivalenceClass(MixedGraph essential)
    : essential_(std::move(essential)), size_(1) {
    for_each_component(
        essential_.n, essential_.lines,
        [&](std::vector<int> vertices, std::vector<int> offsets, std::vector<int> targets) {
            const int k = static_cast<int>(vertices.size());
            components_.push_back(Component{
                std::move(vertices), AmoDecomposition(k, std::move(offsets), std::move(targets))});
            size_ *= components_.back().decomposition.count();
        });
}

double EquivalenceClass::log10_size() const {
    long exponent = 0;
    const double mantissa = mpz_get_d_2exp(&exponent, size_.get_mpz_t());
    return std::log10(mantissa) + static_cast<double>(exponent) * std::log10(2.0);
}

void EquivalenceClass::orient(std::span<const int> position,
                              std::vector<VertexPair>& arrows) const {
    arrows.assign(essential_.arrows.begin(), essential_.arrows.end());
    for (const VertexPair& l : essential_.lines) {
        const bool forward = position[at(l.from)] < position[at(l.to)];
        arrows.push_back(forward ? l : VertexPair{l.to, l.from});
    }
}

mpz_class exact_class_size(int n, std::span<const VertexPair> lines) {
    mpz_class size = 1;
    for_each_component(
        n, lines,
        [&](std::vector<int> vertices, std::vector<int> offsets, std::vector<int> targets) {
            const int k = static_cast<int>(vertices.size());
            size *= AmoDecomposition(k, std::move(offsets), std::move(targets)).count();
        });
    return size;
}

}  // namespace pellimor
