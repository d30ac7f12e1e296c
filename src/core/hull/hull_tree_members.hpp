#pragma once
// The hull tree's members, compiled once for each vertex storage in a file
// of its own (hull_tree.cpp, hull_tree_indices.cpp): compiled together in one
// file, both storages' searches were inlined less, and a random walk's edges
// and degrees took 20% more time.

#include "core/hull/hull_tree.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/predicates/sight_line.hpp"
#include "support/worker_pool.hpp"

namespace kaltrope {

namespace hull_detail {

// The power of two that makes every number moderate (sight_line.hpp) when
// multiplied by it, which is exact then: 0 when they are moderate already,
// none when they span too many binades for any power of two.
inline std::optional<int> moderating_exponent(std::span<const double> numbers) {
    if (all_moderate(numbers)) return 0;
    double largest = 0;
    double smallest = std::numeric_limits<double>::infinity();
    for (double v : numbers) {
        const double magnitude = std::abs(v);
        largest = std::max(largest, magnitude);
        if (magnitude != 0) smallest = std::min(smallest, magnitude);
    }
    const int exponent = -std::ilogb(largest);  // largest becomes [1, 2)
    // The smallest must stay a normal number of moderate magnitude (it would
    // not survive as 0, which is moderate too).
    if (std::ilogb(smallest) + exponent < std::ilogb(kSmallestModerate)) return std::nullopt;
    return exponent;
}

// Scales numbers by 2^exponent in place.
inline void scale(std::span<double> numbers, int exponent) {
    for (double& v : numbers) v = std::ldexp(v, exponent);
}

}  // namespace hull_detail

template <class Positions, VertexStorage Storage>
HullTree<Positions, Storage> HullTree<Positions, Storage>::build(std::span<const double> values, Positions positions) {
    HullTree tree(values);
    tree.moderate_coordinates(positions);
    tree.build_hulls();
    return tree;
}

// Products of tiny or huge coordinates underflow or overflow, and then no
// relative tolerance bounds the rounding of the hulls. Scaling an axis by a
// power of two is exact and changes no visibility decision, so a series whose
// values or positions span few enough binades is brought to moderate
// magnitudes; any other keeps its coordinates, and its searches prune nothing.
// Uniform positions 0, 1, ..., n - 1 are moderate.
template <class Positions, VertexStorage Storage>
void HullTree<Positions, Storage>::moderate_coordinates(Positions positions) {
    if constexpr (std::is_same_v<Positions, ExplicitPositions>) {
        positions_.assign(positions.x, positions.x + values_.size());
        if (const auto exponent = hull_detail::moderating_exponent(positions_); exponent && *exponent != 0) {
            hull_detail::scale(positions_, *exponent);
        }
    }
    if (const auto exponent = hull_detail::moderating_exponent(values_); exponent && *exponent != 0) {
        scaled_values_.assign(values_.begin(), values_.end());
        hull_detail::scale(scaled_values_, *exponent);
        values_ = scaled_values_;
    }
}

template <class Positions, VertexStorage Storage>
void HullTree<Positions, Storage>::measure_coordinates() {
    const Positions x = positions();
    for (std::size_t k = 0; k < values_.size(); ++k) {
        coordinates_.include(values_[k], x[k]);
    }
}

// The hulls below a few subtree roots are built bottom-up in parallel, each
// subtree into its own scratch array, then the few nodes above the roots;
// every node's hull depends only on its children's, so the tree is the same
// for any number of threads. Last, the hulls are laid out in node order.
template <class Positions, VertexStorage Storage>
void HullTree<Positions, Storage>::build_hulls() {
    const Positions x = positions();
    const std::size_t n = values_.size();
    const std::size_t blocks = (n + kLeafSize - 1) / kLeafSize;
    leaf_count_ = blocks < 2 ? 1 : std::bit_ceil(blocks);
    const std::size_t nodes = 2 * leaf_count_;
    measure_coordinates();

    const std::size_t roots =
        n < kParallelBuildSamples ? 1 : std::min(leaf_count_, std::bit_ceil(16 * parallel::thread_count()));
    // built[r] holds the hulls of subtree root roots + r, built[roots] those above the roots.
    std::vector<std::vector<std::uint32_t>> built(roots + 1);
    std::vector<std::uint32_t> start(nodes, 0);  // a vertex count, as offsets_'s
    std::vector<std::uint32_t> length(nodes, 0);
    auto owner = [&](std::size_t node) -> std::vector<std::uint32_t>& {
        if (node < roots) return built[roots];
        return built[(node >> (std::bit_width(node) - std::bit_width(roots))) - roots];
    };
    auto hull_of = [&](std::size_t node) {
        return std::span<const std::uint32_t>(owner(node)).subspan(start[node], length[node]);
    };
    struct Scratch {
        std::vector<std::uint32_t> candidates;
        std::vector<std::uint32_t> chain;
    };
    auto upper_hull = [&](std::size_t node, Scratch& scratch) {
        upper_hull_of(scratch.candidates, values_.data(), x, scratch.chain);
        std::vector<std::uint32_t>& into = owner(node);
        start[node] = static_cast<std::uint32_t>(into.size());
        length[node] = static_cast<std::uint32_t>(scratch.chain.size());
        into.insert(into.end(), scratch.chain.begin(), scratch.chain.end());
    };
    auto merge_children = [&](std::size_t node, Scratch& scratch) {
        const auto left = hull_of(2 * node);
        const auto right = hull_of(2 * node + 1);
        scratch.candidates.assign(left.begin(), left.end());
        scratch.candidates.insert(scratch.candidates.end(), right.begin(), right.end());
        upper_hull(node, scratch);
    };
    const int leaf_depth = std::countr_zero(leaf_count_);
    const int root_depth = std::countr_zero(roots);
    parallel::for_each_range(roots, 1, [&](std::size_t first, std::size_t last) {
        Scratch scratch;
        for (std::size_t root = roots + first; root < roots + last; ++root) {
            const int height = leaf_depth - root_depth;
            owner(root).reserve(2 * kLeafSize * (leaf_count_ / roots));
            for (std::size_t node = root << height; node < (root + 1) << height; ++node) {
                const std::size_t block = node - leaf_count_;
                if (block >= std::max<std::size_t>(blocks, 1)) break;
                scratch.candidates.clear();
                for (std::size_t j = kLeafSize * block; j < std::min(n, kLeafSize * (block + 1)); ++j) {
                    scratch.candidates.push_back(static_cast<std::uint32_t>(j));
                }
                upper_hull(node, scratch);
            }
            for (int h = height - 1; h >= 0; --h) {
                for (std::size_t node = root << h; node < (root + 1) << h; ++node) merge_children(node, scratch);
            }
        }
    });
    Scratch scratch;
    for (std::size_t node = roots - 1; node >= 1; --node) merge_children(node, scratch);

    offsets_.resize(nodes + 1);
    offsets_[0] = 0;
    for (std::size_t node = 0; node < nodes; ++node) offsets_[node + 1] = offsets_[node] + length[node];
    vertices_.resize(offsets_[nodes]);
    parallel::for_each_range(nodes, std::max<std::size_t>(nodes / 64, 1024), [&](std::size_t first, std::size_t last) {
        for (std::size_t node = first; node < last; ++node) {
            StoredVertex* out = vertices_.data() + offsets_[node];
            for (const std::uint32_t k : hull_of(node)) {
                if constexpr (Storage == VertexStorage::Indices) {
                    *out++ = k;
                } else {
                    *out++ = {x[k], values_[k]};
                }
            }
        }
    });
}

// Each search finds the nearest point strictly above the line from i through
// the last visible point v, decided exactly; that this point is the next
// visible one, with no test against the points between, holds only because
// exact comparisons are transitive. The pruning line is the rounded one.
template <class Positions, VertexStorage Storage>
template <Side FarEnd>
std::optional<std::uint32_t> HullTree<Positions, Storage>::walk_from(std::uint32_t i, std::uint32_t end,
                                                                     std::uint32_t v, bool budgeted,
                                                                     EdgeList& edges) const {
    constexpr bool right = FarEnd == Side::Right;
    const Positions x = positions();
    const double xi = x[i];
    const double yi = values_[i];
    SightLine<FarEnd> sight(xi, yi, x[v], values_[v], extent());
    std::uint64_t work_total = 0;
    std::uint64_t distance = 0;
    // On the right, nothing lies beyond a visible point at least as high as
    // point i; on the left, every point of the window is lower.
    while (!right || values_[v] < yi) {
        const double dy = values_[v] - yi;
        std::uint64_t work = 0;
        std::uint32_t k;
        if constexpr (right) {
            const double dx = x[v] - xi;
            k = nearest_after(std::size_t{v} + 1, std::size_t{end} + 1, sight, work,
                              {dx, -dy, yi * dx - xi * dy, tolerance(dy, dx, xi, yi)});
        } else {
            const double dx = xi - x[v];
            k = nearest_before(end, v, sight, work, {dx, dy, xi * dy + yi * dx, tolerance(dy, dx, xi, yi)});
        }
        if (k == kNone) return std::nullopt;
        edges.push_back(right ? Edge{i, k} : Edge{k, i});
        work_total += work;
        distance += right ? k - v : v - k;
        sight.aim_at(x[k], values_[k]);
        v = k;
        if (budgeted && work_total > 2 * distance + 64) return k;
    }
    return std::nullopt;
}

template <class Positions, VertexStorage Storage>
std::optional<std::uint32_t> HullTree<Positions, Storage>::left_from(std::uint32_t i, std::uint32_t lo, std::uint32_t v,
                                                                     bool budgeted, EdgeList& edges) const {
    return walk_from<Side::Left>(i, lo, v, budgeted, edges);
}

template <class Positions, VertexStorage Storage>
std::optional<std::uint32_t> HullTree<Positions, Storage>::right_from(std::uint32_t i, std::uint32_t hi,
                                                                      std::uint32_t v, bool budgeted,
                                                                      EdgeList& edges) const {
    return walk_from<Side::Right>(i, hi, v, budgeted, edges);
}

template <class Positions, VertexStorage Storage>
void HullTree<Positions, Storage>::scan_point(std::uint32_t i, std::uint32_t lo, std::uint32_t hi, EdgeList& edges) const {
    if (lo < i) {
        edges.push_back({i - 1, i});
        left_from(i, lo, i - 1, false, edges);
    }
    if (i < hi) {
        edges.push_back({i, i + 1});
        right_from(i, hi, i + 1, false, edges);
    }
}


}  // namespace kaltrope
