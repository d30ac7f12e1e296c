#pragma once
// A hull index over a series that grows at its end. Level L holds aligned
// nodes of s = kLeafSize << L samples; node j covers [j * s, (j + 1) * s) and
// stores the upper convex hull of its samples. A node is built once,
// from its children's hulls, as soon as its last sample arrives, so a
// sample takes part in one hull per level and nothing is ever copied or
// rebuilt. The complete nodes not covered by a complete parent are exactly
// a binary counter of blocks over the indexed history.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/hull/upper_hull.hpp"
#include "core/stream/sliding_history.hpp"

namespace kaltrope {

// The kept samples of a stream, by global index.
using History = SlidingHistory<double>;

class GrowingHullIndex {
public:
    static constexpr std::size_t kLeafSize = 32;

    // Samples [0, indexed()) lie in complete leaves.
    std::size_t indexed() const { return indexed_; }

    // Indexes the complete leaves among samples [indexed(), values.size()) and
    // every node they complete, and releases the nodes that end at or before
    // earliest. A node that starts before earliest gets no hull: searches
    // never reach before the window start, which only moves on, and which
    // is never before the first sample kept. An empty index starts at the
    // first leaf that holds only kept samples.
    void grow(const History& values, const History& positions, std::size_t earliest);

    // The largest k in [lo, end) passing test (end <= indexed()), searched
    // outward from end so the cost grows with the distance to the answer.
    // Nodes whose hull lies below the line by more than its eps are skipped,
    // and the search ends once hidden(k) says no sample at or before k can
    // pass. work grows by 8 per node visited and by every sample tested.
    template <class Test, class Hidden>
    std::optional<std::size_t> nearest_before(std::size_t lo, std::size_t end, const History& values,
                                              const History& positions, const PruneLine& line, Test& test,
                                              Hidden& hidden, std::uint64_t& work) const {
        if (end <= lo) return std::nullopt;
        const Search<Test> search{values, positions, line, test, lo, end, work};
        Node at{0, (end - 1) / kLeafSize};
        if (auto found = descend(at, search)) return found;
        while (start_of(at) > lo) {
            // The next node on the left: the sibling of the lowest ancestor
            // that is a right child, or the neighbour on the top level.
            while (at.j % 2 == 0 && at.level + 1 < levels_.size()) at = {at.level + 1, at.j / 2};
            at.j -= 1;
            if (end_of(at) <= lo || hidden(end_of(at) - 1)) return std::nullopt;
            if (auto found = descend(at, search)) return found;
        }
        return std::nullopt;
    }

private:
    struct Node {
        std::size_t level;
        std::size_t j;
    };

    // Level L's nodes [first, first + count): node j's hull is vertices[offsets[j - first] ..
    // offsets[j - first + 1]), as sample indices counted from the node's start.
    struct Level {
        std::size_t first = 0;
        std::vector<std::size_t> offsets{0};
        std::vector<std::uint32_t> vertices;

        std::size_t count() const { return offsets.size() - 1; }
        std::span<const std::uint32_t> hull(std::size_t j) const {
            return {vertices.data() + offsets[j - first], vertices.data() + offsets[j - first + 1]};
        }
    };

    template <class Test>
    struct Search {
        const History& values;
        const History& positions;
        const PruneLine& line;
        Test& test;
        std::size_t lo;
        std::size_t hi;
        std::uint64_t& work;
    };

    static constexpr int kLeafShift = 5;
    static_assert(kLeafSize == std::size_t{1} << kLeafShift);
    static std::size_t start_of(Node node) { return node.j << (kLeafShift + node.level); }
    static std::size_t end_of(Node node) { return (node.j + 1) << (kLeafShift + node.level); }

    // Adds node, the next of its level (or the first of a new level), with
    // the hull of candidates counted from its start, or no hull.
    void append_node(Node node, std::span<const std::uint32_t> candidates, bool with_hull, const History& values,
                     const History& positions);

    void add_leaves(const History& values, const History& positions, std::size_t earliest);
    void forget_before(std::size_t earliest);

    // The largest k in [lo, hi) within node passing the test.
    template <class Test>
    std::optional<std::size_t> descend(Node node, const Search<Test>& search) const {
        const std::size_t begin = start_of(node);
        const std::size_t end = end_of(node);
        if (begin >= search.hi || end <= search.lo) return std::nullopt;
        search.work += 8;
        if (begin >= search.lo && end <= search.hi) {
            // Only nodes that start before the window have no hull, and
            // those never lie wholly inside a search.
            const auto vertices = levels_[node.level].hull(node.j);
            if (search.line.skips(hull_max(vertices, search.values.row(begin), search.positions.row(begin),
                                           search.line.a, search.line.b))) {
                return std::nullopt;
            }
        }
        if (node.level > 0) {
            if (auto found = descend(Node{node.level - 1, 2 * node.j + 1}, search)) return found;
            return descend(Node{node.level - 1, 2 * node.j}, search);
        }
        const std::size_t from = std::max(begin, search.lo);
        const std::size_t to = std::min(end, search.hi);
        search.work += to - from;
        for (std::size_t k = to; k-- > from;) {
            if (search.test(k)) return k;
        }
        return std::nullopt;
    }

    std::vector<Level> levels_;
    std::size_t indexed_ = 0;
    std::vector<std::uint32_t> candidates_;
    std::vector<std::uint32_t> chain_;
};

}  // namespace kaltrope
