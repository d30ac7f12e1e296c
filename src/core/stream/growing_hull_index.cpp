#include "core/stream/growing_hull_index.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace kaltrope {
namespace {

// Hull vertices are counted from their node's start in 32 bits, so nodes
// stop growing at 2^32 samples; above that the search walks the top level.
constexpr std::size_t kLevels = 28;
static_assert((GrowingHullIndex::kLeafSize << (kLevels - 1)) <= (std::size_t{1} << 32));

}  // namespace

void GrowingHullIndex::grow(const History& values, const History& positions, std::size_t earliest) {
    if (levels_.empty()) indexed_ = std::max(indexed_, (values.first() + kLeafSize - 1) / kLeafSize * kLeafSize);
    if (indexed_ + kLeafSize > values.size()) return;
    try {
        add_leaves(values, positions, earliest);
    } catch (...) {
        // A node whose parent could not be added would leave the levels
        // out of step; an empty index is regrown at the next call.
        *this = GrowingHullIndex();
        throw;
    }
    if (earliest > 0) forget_before(earliest);
}

void GrowingHullIndex::add_leaves(const History& values, const History& positions, std::size_t earliest) {
    for (; indexed_ + kLeafSize <= values.size(); indexed_ += kLeafSize) {
        candidates_.resize(kLeafSize);
        std::iota(candidates_.begin(), candidates_.end(), 0u);
        append_node({0, indexed_ / kLeafSize}, candidates_, indexed_ >= earliest, values, positions);
        // A right child completes its parent, whose hull joins the two.
        for (Node done{0, indexed_ / kLeafSize}; done.j % 2 == 1 && done.level + 1 < kLevels;
             done = {done.level + 1, done.j / 2}) {
            const Node parent{done.level + 1, done.j / 2};
            const bool with_hull = start_of(parent) >= earliest;
            candidates_.clear();
            if (with_hull) {
                const Level& children = levels_[done.level];
                const auto left = children.hull(done.j - 1);
                candidates_.assign(left.begin(), left.end());
                const auto half = static_cast<std::uint32_t>(kLeafSize << done.level);
                for (std::uint32_t k : children.hull(done.j)) candidates_.push_back(k + half);
            }
            append_node(parent, candidates_, with_hull, values, positions);
        }
    }
}

void GrowingHullIndex::append_node(Node node, std::span<const std::uint32_t> candidates, bool with_hull,
                                   const History& values, const History& positions) {
    if (levels_.size() == node.level) {
        levels_.emplace_back();
        levels_.back().first = node.j;
    }
    Level& nodes = levels_[node.level];
    if (with_hull) {
        const std::size_t begin = start_of(node);
        upper_hull_of(candidates, values.row(begin), positions.row(begin), chain_);
        nodes.vertices.insert(nodes.vertices.end(), chain_.begin(), chain_.end());
    }
    nodes.offsets.push_back(nodes.vertices.size());
}

void GrowingHullIndex::forget_before(std::size_t earliest) {
    // Dead nodes go in batches, so each is moved at most once on average.
    constexpr std::size_t kBatch = 64;
    for (std::size_t level = 0; level < levels_.size(); ++level) {
        Level& nodes = levels_[level];
        const std::size_t dead_end = std::min(earliest >> (kLeafShift + level), nodes.first + nodes.count());
        const std::size_t dead = dead_end > nodes.first ? dead_end - nodes.first : 0;
        if (dead < kBatch || 2 * dead < nodes.count()) continue;
        const std::size_t dropped_vertices = nodes.offsets[dead];
        nodes.vertices.erase(nodes.vertices.begin(),
                             nodes.vertices.begin() + static_cast<std::ptrdiff_t>(dropped_vertices));
        nodes.offsets.erase(nodes.offsets.begin(), nodes.offsets.begin() + static_cast<std::ptrdiff_t>(dead));
        for (std::size_t& offset : nodes.offsets) offset -= dropped_vertices;
        nodes.first += dead;
    }
}

}  // namespace kaltrope
