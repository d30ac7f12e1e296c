#pragma once
// Limited penetrable natural visibility with a window, one sample at a time.
//
// From sample i, call the elevation of a sample k on one side the slope of
// the line from i to k, rising away from i. A sample k between i and j lies
// on or above the line through i and j exactly when its elevation is at least
// that of j, so j is joined with i when fewer than p + 1 of the samples passed
// on the way out have an elevation at least j's: when j is strictly steeper
// than the least of the p + 1 steepest samples passed. The scan keeps those
// p + 1 samples in a heap and tests each candidate against the line to the
// least of them, as the plain scan tests against its one steepest line (p = 0
// is that scan). Elevations from one point are compared exactly by the
// orientation predicate, and exact comparisons are transitive, so the heap's
// order and every test agree with exact rational arithmetic.
//
// Each edge is produced by its higher endpoint (the left one on a tie), as in
// the plain engines. A sample j is a candidate of i on the left when
// y_j < y_i, on the right when y_j <= y_i; both have elevations below 0 (or 0
// on the right), so once the least of the steepest reaches y_i nothing
// further out can be joined and the side ends.

#include <algorithm>
#include <cstdint>

#include "core/predicates/orientation.hpp"
#include "core/predicates/sight_line.hpp"
#include "core/scalar_visibility/largest_items.hpp"
#include "core/scalar_visibility/visibility_limits.hpp"
#include "core/series/edge_list.hpp"
#include "core/series/input.hpp"

namespace kaltrope {

template <class Positions>
class LimitedNaturalScan {
public:
    LimitedNaturalScan(Series y, Positions x, std::uint64_t penetrable, const SampleReach& reach)
        : y_(y.data()),
          x_(x),
          keep_(static_cast<std::size_t>(std::min<std::uint64_t>(penetrable, y.size()) + 1)),
          reach_(&reach),
          extent_(extent_of(y, x)) {}

    // Appends the edges sample i produces: its left edges (j, i) nearest
    // first, then its right edges (i, j) nearest first. Returns the number of
    // samples passed.
    std::uint64_t operator()(std::uint32_t i, EdgeList& edges) {
        if (extent_.exact_in_double) return sample<Coordinates::SmallWhole>(i, edges);
        return sample<Coordinates::Any>(i, edges);
    }

private:
    template <Coordinates Kind>
    std::uint64_t sample(std::uint32_t i, EdgeList& edges) {
        const std::uint32_t first = reach_->first(i);
        const std::uint32_t last = reach_->last(i);
        const std::uint32_t left_end = side<Side::Left, Kind>(i, first, edges);
        const std::uint32_t right_end = side<Side::Right, Kind>(i, last, edges);
        return (i - left_end) + (right_end - i);
    }

    // Scans from i to end (inclusive) on one side; returns where it stopped.
    template <Side FarEnd, Coordinates Kind>
    std::uint32_t side(std::uint32_t i, std::uint32_t end, EdgeList& edges) {
        constexpr bool right = FarEnd == Side::Right;
        const double xi = x_[i];
        const double yi = y_[i];
        auto candidate = [&](std::uint32_t j) { return right ? y_[j] <= yi : y_[j] < yi; };
        auto join = [&](std::uint32_t j) { edges.push_back(right ? Edge{i, j} : Edge{j, i}); };
        // k is steeper than j when it lies above the line from i through j.
        auto steeper = [&](std::uint32_t k, std::uint32_t j) {
            return (right ? 1 : -1) * orientation(xi, yi, x_[j], y_[j], x_[k], y_[k]) > 0;
        };
        steepest_.reset(keep_);
        std::uint32_t position = i;
        // Fewer than p + 1 samples in between: every candidate is joined.
        while (position != end && !steepest_.full()) {
            position = right ? position + 1 : position - 1;
            if (candidate(position)) join(position);
            steepest_.add(position, steeper);
        }
        if (position == end || y_[steepest_.least()] >= yi) return position;
        const std::uint32_t least = steepest_.least();
        SightLine<FarEnd, Kind> sight(xi, yi, x_[least], y_[least], extent_);
        // A sample not above the line leaves the p + 1 steepest elevations as
        // they were, so the vector pass may skip it.
        while ((position = sight.pass_below(y_, x_, position, end)) != end) {
            const std::uint32_t j = right ? ++position : --position;
            if (!sight.above(x_[j], y_[j])) continue;
            if (candidate(j)) join(j);
            steepest_.replace_least(j, steeper);
            const std::uint32_t next = steepest_.least();
            if (y_[next] >= yi) break;
            sight.aim_at(x_[next], y_[next]);
        }
        return position;
    }

    const double* y_;
    Positions x_;
    std::size_t keep_;
    const SampleReach* reach_;
    SeriesExtent extent_;
    LargestItems<std::uint32_t> steepest_;
};

}  // namespace kaltrope
