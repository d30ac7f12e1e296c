#include "core/hull/hull_tree.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/predicates/sight_line.hpp"

namespace kaltrope {

HullTree::HullTree(std::span<const double> values, std::vector<double> positions)
    : positions_(std::move(positions)), values_(values) {}

HullTree HullTree::build(std::span<const double> values, std::vector<double> positions) {
    HullTree tree(values, std::move(positions));
    tree.build_hulls();
    return tree;
}

void HullTree::measure_coordinates() {
    for (std::size_t k = 0; k < values_.size(); ++k) {
        coordinates_.include(values_[k], positions_[k]);
    }
}

void HullTree::build_hulls() {
    const std::size_t n = values_.size();
    const std::size_t blocks = (n + kLeafSize - 1) / kLeafSize;
    leaf_count_ = blocks < 2 ? 1 : std::bit_ceil(blocks);
    const std::size_t nodes = 2 * leaf_count_;
    measure_coordinates();

    // Hulls are built bottom-up into a scratch array, then laid out in node order.
    std::vector<std::uint32_t> built;
    built.reserve(2 * n);
    std::vector<std::size_t> start(nodes, 0);
    std::vector<std::size_t> length(nodes, 0);
    std::vector<std::uint32_t> chain;
    auto upper_hull = [&](std::span<const std::uint32_t> candidates, std::size_t node) {
        upper_hull_of(candidates, values_.data(), positions_.data(), chain);
        start[node] = built.size();
        length[node] = chain.size();
        built.insert(built.end(), chain.begin(), chain.end());
    };

    std::vector<std::uint32_t> candidates;
    candidates.reserve(kLeafSize);
    for (std::size_t block = 0; block < std::max<std::size_t>(blocks, 1); ++block) {
        candidates.clear();
        for (std::size_t j = kLeafSize * block; j < std::min(n, kLeafSize * (block + 1)); ++j) {
            candidates.push_back(static_cast<std::uint32_t>(j));
        }
        upper_hull(candidates, leaf_count_ + block);
    }
    for (std::size_t node = leaf_count_ - 1; node >= 1; --node) {
        candidates.assign(built.begin() + start[2 * node], built.begin() + start[2 * node] + length[2 * node]);
        candidates.insert(candidates.end(), built.begin() + start[2 * node + 1],
                          built.begin() + start[2 * node + 1] + length[2 * node + 1]);
        upper_hull(candidates, node);
    }

    offsets_.reserve(nodes + 1);
    vertices_.reserve(built.size());
    for (std::size_t node = 0; node < nodes; ++node) {
        offsets_.push_back(static_cast<std::uint32_t>(vertices_.size()));
        for (const std::uint32_t k : std::span(built).subspan(start[node], length[node])) {
            vertices_.push_back({positions_[k], values_[k]});
        }
    }
    offsets_.push_back(static_cast<std::uint32_t>(vertices_.size()));
}

// Each search finds the nearest point strictly above the line from i through
// the last visible point v, decided exactly; that this point is the next
// visible one, with no test against the points between, holds only because
// exact comparisons are transitive. The pruning line is the rounded one.
std::optional<std::uint32_t> HullTree::left_from(std::uint32_t i, std::uint32_t lo, std::uint32_t v, bool budgeted,
                                                 EdgeList& edges) const {
    const double xi = positions_[i];
    const double yi = values_[i];
    SightLine<Side::Left> sight(xi, yi, positions_[v], values_[v], extent());
    auto above_line = [&](std::uint32_t k) { return sight.above(positions_[k], values_[k]); };
    std::uint64_t work_total = 0;
    std::uint64_t distance = 0;
    for (;;) {
        const double dy = values_[v] - yi;
        const double dx = xi - positions_[v];
        std::uint64_t work = 0;
        const auto found =
            nearest_before(lo, v, above_line, work, {dx, dy, xi * dy + yi * dx, tolerance(dy, dx, xi, yi)});
        if (!found) return std::nullopt;
        const std::uint32_t k = *found;
        edges.push_back({k, i});
        work_total += work;
        distance += v - k;
        sight.aim_at(positions_[k], values_[k]);
        v = k;
        if (budgeted && work_total > 2 * distance + 64) return k;
    }
}

std::optional<std::uint32_t> HullTree::right_from(std::uint32_t i, std::uint32_t hi, std::uint32_t v, bool budgeted,
                                                  EdgeList& edges) const {
    const double xi = positions_[i];
    const double yi = values_[i];
    SightLine<Side::Right> sight(xi, yi, positions_[v], values_[v], extent());
    auto above_line = [&](std::uint32_t k) { return sight.above(positions_[k], values_[k]); };
    std::uint64_t work_total = 0;
    std::uint64_t distance = 0;
    // Nothing lies beyond a visible point at least as high as point i.
    while (values_[v] < yi) {
        const double dy = values_[v] - yi;
        const double dx = positions_[v] - xi;
        std::uint64_t work = 0;
        const auto found = nearest_after(std::size_t{v} + 1, std::size_t{hi} + 1, above_line, work,
                                         {dx, -dy, yi * dx - xi * dy, tolerance(dy, dx, xi, yi)});
        if (!found) return std::nullopt;
        const std::uint32_t k = *found;
        edges.push_back({i, k});
        work_total += work;
        distance += k - v;
        sight.aim_at(positions_[k], values_[k]);
        v = k;
        if (budgeted && work_total > 2 * distance + 64) return k;
    }
    return std::nullopt;
}

void HullTree::scan_point(std::uint32_t i, std::uint32_t lo, std::uint32_t hi, EdgeList& edges) const {
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
