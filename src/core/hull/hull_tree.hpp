#pragma once
// An immutable index over the points (x_i, y_i) of one series that finds the
// point of an index range nearest to one end that lies strictly above a line,
// without looking at every point of the range.
//
// Points are grouped into leaf blocks of 32; the leaves sit at the bottom of
// an implicit binary heap (node 1 is the root, node k has children 2k and
// 2k + 1), and every node stores the upper convex hull of the points it covers.
//
// Positions are UniformPositions (x_i = i) or ExplicitPositions; a tree over
// uniform ones stores none, so its scans read the values alone.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/series/edge_list.hpp"
#include "core/hull/upper_hull.hpp"
#include "core/predicates/sight_line.hpp"
#include "support/large_buffer.hpp"

namespace kaltrope {

// How a tree keeps its hulls' vertices: with their coordinates (16 bytes a
// vertex), which spares a search some misses of the series once it outgrows
// the cache (0-4% of the time of a random walk's edges), or as indices of
// the points (4 bytes), their coordinates read from the series: a quarter of
// the memory, 0.9 MB against 3.4 MB for a walk of 10^6 samples (0.2 million
// vertices), for callers whose result is small beside the tree (the degree
// functions). A choice made per tree at run time cost more than it saved (a
// test in node_max cost the edges 7%), so each storage is a type of its own,
// compiled in a file of its own (hull_tree_members.hpp).
enum class VertexStorage { Coordinates, Indices };

template <class Positions, VertexStorage Storage = VertexStorage::Coordinates>
class HullTree {
public:
    // A leaf's points are scanned two at a time by the threshold test, about
    // as fast as a hull of the leaf is reached: blocks of 32 rather than 16
    // halved the hulls a long series keeps and the tree's misses, which grow
    // with the series (a random walk of 10^7 samples took 3-12% less time
    // per edge, one of 10^6 as much); blocks of 64 halve them again at the
    // same speed, while 128 cost 10% more time.
    static constexpr std::uint32_t kLeafSize = 64;
    // Trees of at least this many points build their hulls in parallel.
    static constexpr std::size_t kParallelBuildSamples = 32768;

    // values (and explicit positions, one for every point) must outlive the
    // build; values must outlive the tree. The tree may scale either axis by
    // a power of two (see moderate_coordinates), so values() and positions()
    // are the coordinates its searches use.
    static HullTree build(std::span<const double> values, Positions positions);

    HullTree(HullTree&&) = default;
    HullTree& operator=(HullTree&&) = default;
    HullTree(const HullTree&) = delete;
    HullTree& operator=(const HullTree&) = delete;

    std::size_t size() const { return values_.size(); }
    std::span<const double> values() const { return values_; }
    Positions positions() const {
        if constexpr (std::is_same_v<Positions, ExplicitPositions>) {
            return {positions_.data()};
        } else {
            return {};
        }
    }

    // What the lines of sight over these points share.
    SeriesExtent extent() const { return coordinates_.extent(); }

    // From point i whose nearest visible point on the left is v, appends
    // (k, i) for every further visible k in [lo, v). With a budget, gives up
    // once the search costs more than twice the distance it skipped plus 64,
    // returning the last visible point found, where the caller resumes.
    std::optional<std::uint32_t> left_from(std::uint32_t i, std::uint32_t lo, std::uint32_t v, bool budgeted,
                                           EdgeList& edges) const;

    // The mirror of left_from over (v, hi], appending (i, k).
    std::optional<std::uint32_t> right_from(std::uint32_t i, std::uint32_t hi, std::uint32_t v, bool budgeted,
                                            EdgeList& edges) const;

    // All edges of point i inside its window [lo, hi], using only the tree.
    void scan_point(std::uint32_t i, std::uint32_t lo, std::uint32_t hi, EdgeList& edges) const;

private:
    // left_from (FarEnd Left, end lo) or right_from (Right, end hi).
    template <Side FarEnd>
    std::optional<std::uint32_t> walk_from(std::uint32_t i, std::uint32_t end, std::uint32_t v, bool budgeted,
                                           EdgeList& edges) const;

    explicit HullTree(std::span<const double> values) : values_(values) {}

    void moderate_coordinates(Positions positions);
    void build_hulls();
    void measure_coordinates();

    double tolerance(double dy, double dx, double x_from, double y_from) const {
        return pruning_tolerance(dy, dx, x_from, y_from, coordinates_);
    }

    // A hull vertex stored with its coordinates.
    struct Vertex {
        double x;
        double y;
    };
    using StoredVertex = std::conditional_t<Storage == VertexStorage::Indices, std::uint32_t, Vertex>;

    // max of a*y_k + b*x_k over the hull vertices k of node (a > 0);
    // negative infinity for an empty node. The same products and sums, in
    // the same order, whichever way the vertices are stored.
    double node_max(std::size_t node, double a, double b) const {
        const StoredVertex* hull = vertices_.data() + offsets_[node];
        const std::size_t count = offsets_[node + 1] - offsets_[node];
        if constexpr (Storage == VertexStorage::Indices) {
            const Positions x = positions();
            return hull_max_over(count, [&](std::size_t at) { return x[hull[at]] * b + values_[hull[at]] * a; });
        } else {
            return hull_max_over(count, [&](std::size_t at) { return hull[at].x * b + hull[at].y * a; });
        }
    }

    // A node with the leaves it spans: [first_leaf, first_leaf + width).
    struct Subtree {
        std::size_t node;
        std::size_t first_leaf;
        std::size_t width;
    };

    std::size_t leaf_start(std::size_t leaf) const { return std::min(values_.size(), kLeafSize * leaf); }

    // What the searches below return when no point passes: no index, since
    // a series has fewer than 2^32 points. A plain index, not an optional,
    // keeps the result in a register through the recursion.
    static constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

    // The point of [from, to) nearest to the search's start (to on the left,
    // from on the right) above the line: the threshold test passes over the
    // points it settles below, two at a time, and the exact test decides
    // each of the others.
    template <bool FromRight, class Sight>
    std::uint32_t scan_leaf(std::size_t from, std::size_t to, const Sight& sight) const {
        const double* y = values_.data();
        const Positions x = positions();
        if constexpr (FromRight) {
            auto position = static_cast<std::uint32_t>(to);
            const auto end = static_cast<std::uint32_t>(from);
            while ((position = sight.pass_below(y, x, position, end)) > end) {
                --position;
                if (sight.above(x[position], y[position])) return position;
            }
        } else {
            // from > 0: a search on the right starts after its own point.
            auto position = static_cast<std::uint32_t>(from - 1);
            const auto end = static_cast<std::uint32_t>(to - 1);
            while ((position = sight.pass_below(y, x, position, end)) < end) {
                ++position;
                if (sight.above(x[position], y[position])) return position;
            }
        }
        return kNone;
    }

    template <bool FromRight, class Sight>
    std::uint32_t descend(Subtree tree, std::size_t lo, std::size_t hi, const Sight& sight, std::uint64_t& work,
                          const PruneLine& line) const {
        const std::size_t begin = leaf_start(tree.first_leaf);
        const std::size_t end = leaf_start(tree.first_leaf + tree.width);
        if (begin >= end || begin >= hi || end <= lo) return kNone;
        work += 8;
        if (begin >= lo && end <= hi && line.skips(node_max(tree.node, line.a, line.b))) return kNone;
        if (tree.width > 1) {
            const std::size_t half = tree.width / 2;
            const Subtree left{2 * tree.node, tree.first_leaf, half};
            const Subtree right{2 * tree.node + 1, tree.first_leaf + half, half};
            const std::uint32_t found = descend<FromRight>(FromRight ? right : left, lo, hi, sight, work, line);
            if (found != kNone) return found;
            return descend<FromRight>(FromRight ? left : right, lo, hi, sight, work, line);
        }
        const std::size_t from = std::max(begin, lo);
        const std::size_t to = std::min(end, hi);
        work += to - from;
        return scan_leaf<FromRight>(from, to, sight);
    }

    // The largest k in [lo, end) above the line of sight, searched outward
    // from end: up from the leaf holding end - 1, into each left sibling on
    // the way, so the cost grows with the distance to the answer, not with
    // the tree.
    template <class Sight>
    std::uint32_t nearest_before(std::size_t lo, std::size_t end, const Sight& sight, std::uint64_t& work,
                                 const PruneLine& line) const {
        if (end <= lo) return kNone;
        Subtree at{leaf_count_ + (end - 1) / kLeafSize, (end - 1) / kLeafSize, 1};
        if (const std::uint32_t found = descend<true>(at, lo, end, sight, work, line); found != kNone) return found;
        for (; at.node > 1; at.node /= 2, at.width *= 2) {
            if (at.node % 2 == 1) {
                at.first_leaf -= at.width;
                if (leaf_start(at.first_leaf + at.width) <= lo) return kNone;
                const std::uint32_t found =
                    descend<true>({at.node - 1, at.first_leaf, at.width}, lo, end, sight, work, line);
                if (found != kNone) return found;
            }
        }
        return kNone;
    }

    // The smallest k in [begin, hi) above the line, searched outward from
    // begin (> 0).
    template <class Sight>
    std::uint32_t nearest_after(std::size_t begin, std::size_t hi, const Sight& sight, std::uint64_t& work,
                                const PruneLine& line) const {
        if (begin >= hi) return kNone;
        Subtree at{leaf_count_ + begin / kLeafSize, begin / kLeafSize, 1};
        if (const std::uint32_t found = descend<false>(at, begin, hi, sight, work, line); found != kNone) return found;
        for (; at.node > 1; at.node /= 2, at.width *= 2) {
            if (at.node % 2 == 0) {
                const std::size_t sibling_first = at.first_leaf + at.width;
                if (leaf_start(sibling_first) >= hi) return kNone;
                const std::uint32_t found =
                    descend<false>({at.node + 1, sibling_first, at.width}, begin, hi, sight, work, line);
                if (found != kNone) return found;
            } else {
                at.first_leaf -= at.width;
            }
        }
        return kNone;
    }

    // Filled once, so not zeroed first.
    template <class T>
    using Array = std::vector<T, memory::LargeAllocator<T>>;

    Array<double> positions_;  // explicit positions only
    Array<std::uint32_t> offsets_;  // node k's hull is vertices_[offsets_[k] .. offsets_[k + 1])
    Array<StoredVertex> vertices_;
    std::vector<double> scaled_values_;  // values_ when the input needed scaling
    std::span<const double> values_;
    std::size_t leaf_count_ = 1;
    CoordinateRange coordinates_;
};

extern template class HullTree<UniformPositions>;
extern template class HullTree<ExplicitPositions>;
extern template class HullTree<UniformPositions, VertexStorage::Indices>;
extern template class HullTree<ExplicitPositions, VertexStorage::Indices>;

}  // namespace kaltrope
