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

namespace kaltrope {

// The upper hull of candidates given by ascending index, into chain; only
// strict turns are vertices.
inline void upper_hull_of(std::span<const std::uint32_t> candidates, const double* values, const double* positions,
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

// max of a*y_k + b*x_k over the vertices k of an upper hull (a > 0, so the
// sequence rises and then falls); negative infinity for no vertices.
inline double hull_max(std::span<const std::uint32_t> vertices, const double* values, const double* positions,
                       double a, double b) {
    if (vertices.empty()) return -std::numeric_limits<double>::infinity();
    auto f = [&](std::size_t at) {
        const std::uint32_t k = vertices[at];
        return positions[k] * b + values[k] * a;
    };
    std::size_t lo = 0;
    std::size_t hi = vertices.size() - 1;
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
    if (lo + 1 < vertices.size()) best = std::max(best, f(lo + 1));
    return best;
}

// A search skips a hull when max a*y + b*x over it is at most c - eps.
struct PruneLine {
    double a;
    double b;
    double c;
    double eps;
};

// The extent of a set of points, which bounds the rounding in their hulls.
struct CoordinateRange {
    double largest_value = 0;     // max |y|
    double largest_position = 0;  // max |x|
    bool whole = true;            // every coordinate a whole number

    void include(double value, double position) {
        largest_value = std::max(largest_value, std::abs(value));
        largest_position = std::max(largest_position, std::abs(position));
        whole = whole && value == std::trunc(value) && position == std::trunc(position);
    }
};

// The pruning tolerance for a line of slope dy/dx through (x_from, y_from)
// over points of the given range: it can only make a search examine more
// points. It is relative to the largest coordinates of the points and of
// (x_from, y_from), not only to the latter's: rounding in the hulls and in
// hull_max grows with the coordinates of the vertices, which may be far
// larger. Whole numbers this small make every product in the hulls, in
// hull_max and in the visibility test exact, so there is nothing to allow
// for, and a search can skip points that lie exactly on the line.
inline double pruning_tolerance(double dy, double dx, double x_from, double y_from, CoordinateRange range) {
    range.include(y_from, x_from);
    if (range.whole && (range.largest_value + 1) * (range.largest_position + 1) <= 0x1p49) return 0;
    return 1e-12 * (std::abs(dx) * (range.largest_value + 1) + std::abs(dy) * (range.largest_position + 1));
}

}  // namespace kaltrope
