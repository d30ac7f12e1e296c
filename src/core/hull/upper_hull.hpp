#pragma once
// Upper convex hulls of point sets given by index, and the line test that
// lets a search skip every point under a hull. Points are (positions[k],
// values[k]); indices count from the given base pointers.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "core/predicates/sight_line.hpp"

namespace kaltrope {

// The upper hull of candidates given by ascending index, into chain; only
// strict turns are vertices. positions[k] is x_k (a pointer, or positions of
// input.hpp).
template <class Positions>
void upper_hull_of(std::span<const std::uint32_t> candidates, const double* values, Positions positions,
                   std::vector<std::uint32_t>& chain) {
    chain.clear();
    for (std::uint32_t j : candidates) {
        while (chain.size() >= 2) {
            const std::uint32_t u = chain[chain.size() - 2];
            const std::uint32_t k = chain.back();
            const double cross = (positions[k] - positions[u]) * (values[j] - values[u]) -
                                 (positions[j] - positions[u]) * (values[k] - values[u]);
            if (cross < 0) break;
            chain.pop_back();
        }
        chain.push_back(j);
    }
}

// Hulls of up to this many vertices, most of those a search meets, are read
// whole: their loads then overlap, where each step of a binary search waits
// for the one before, and the largest value computed can only exceed the
// value a search would find, so no skip is lost (values may fall out of
// order where they round).
inline constexpr std::size_t kScannedHullSize = 8;

// max over the vertices of an upper hull of f(at) = a*y + b*x at vertex
// number at (a > 0, so the sequence rises and then falls); negative infinity
// for no vertices.
template <class Objective>
double hull_max_over(std::size_t count, Objective f) {
    if (count == 0) return -std::numeric_limits<double>::infinity();
    if (count <= kScannedHullSize) {
        double best = f(0);
        for (std::size_t at = 1; at < count; ++at) best = std::max(best, f(at));
        return best;
    }
    std::size_t lo = 0;
    std::size_t hi = count - 1;
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (f(mid + 1) >= f(mid)) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    double best = f(lo);
    if (lo > 0) best = std::max(best, f(lo - 1));
    if (lo + 1 < count) best = std::max(best, f(lo + 1));
    return best;
}

// max of a*y_k + b*x_k over the vertices k of an upper hull (a > 0).
inline double hull_max(std::span<const std::uint32_t> vertices, const double* values, const double* positions, double a,
                       double b) {
    return hull_max_over(vertices.size(), [&](std::size_t at) {
        const std::uint32_t k = vertices[at];
        return positions[k] * b + values[k] * a;
    });
}

// A search skips a hull when max a*y + b*x over it is at most c - eps; an
// infinite eps skips nothing (not even where that max overflows).
struct PruneLine {
    double a;
    double b;
    double c;
    double eps;

    bool skips(double highest) const { return eps != std::numeric_limits<double>::infinity() && highest <= c - eps; }
};

// The extent of a set of points, which bounds the rounding in their hulls.
struct CoordinateRange {
    double largest_value = 0;     // max |y|
    double largest_position = 0;  // max |x|
    bool whole = true;            // every coordinate a whole number
    bool moderate = true;         // every coordinate moderate (sight_line.hpp)

    void include(double value, double position) {
        largest_value = std::max(largest_value, std::abs(value));
        largest_position = std::max(largest_position, std::abs(position));
        whole = whole && value == std::trunc(value) && position == std::trunc(position);
        moderate = moderate & kaltrope::moderate(value) & kaltrope::moderate(position);
    }

    // Every difference and product of these coordinates is exact in double.
    bool exact_in_double() const { return whole && products_exact(largest_value, largest_position); }

    SeriesExtent extent() const { return {exact_in_double(), moderate}; }
};

// Above this, (|y| + 1)(|x| + 1) over a set of points turns pruning off: the
// products in the hulls, in hull_max and in the pruning line stay below
// 2^503 and can neither overflow nor come near it.
inline constexpr double kLargestPrunedProduct = 0x1p500;

// The pruning tolerance for a line of slope dy/dx through (x_from, y_from)
// over points of the given range: it can only make a search examine more
// points, and the visibility test of every point examined is exact. It is
// relative to the largest coordinates of the points and of (x_from, y_from),
// not only to the latter's: rounding in the hulls and in hull_max grows with
// the coordinates of the vertices, which may be far larger. The rounded
// differences dy and dx, each hull turn, each a*y + b*x and the line's c are
// off by a few units of 2^-53 of |dx| (|y| + 1) + |dy| (|x| + 1) at most, a
// vertex a hull drops wrongly lies above its chord by no more than that, and
// the error grows by at most that once per tree level (at most 33): 1e-12
// leaves a margin of more than ten. That holds only while every product
// rounds relatively: where a coordinate is not moderate (sight_line.hpp), a
// product may underflow and lose all its digits (a hull over subnormal
// positions drops vertices well above its chords), and where products could
// overflow, nothing bounds them; both get an infinite tolerance, so nothing
// is skipped. Small whole numbers make every product exact, so there is
// nothing to allow for, and a search can skip points that lie exactly on the
// line.
inline double pruning_tolerance(double dy, double dx, double x_from, double y_from, CoordinateRange range) {
    range.include(y_from, x_from);
    if (range.exact_in_double()) return 0;
    if (!range.moderate || !((range.largest_value + 1) * (range.largest_position + 1) <= kLargestPrunedProduct)) {
        return std::numeric_limits<double>::infinity();
    }
    return 1e-12 * (std::abs(dx) * (range.largest_value + 1) + std::abs(dy) * (range.largest_position + 1));
}

}  // namespace kaltrope
