#pragma once
// The scan engine's work for one sample i: every natural visibility edge of i
// inside its window [lo, hi], found by walking outward from i and keeping the
// steepest line seen so far. A candidate j is visible when it lies strictly
// above the line from i through the last visible sample, decided exactly by
// the orientation predicate. Comparing against that one line instead of
// every sample in between is valid only because exact comparisons are
// transitive: a sample below the line to v is below the steeper line to j.

#include <cstdint>
#include <type_traits>

#include "core/series/edge_list.hpp"
#include "core/predicates/sight_line.hpp"
#include "core/scalar_visibility/slope_blocks.hpp"

namespace kaltrope {

template <Coordinates Kind, class Positions>
void scan_sample_with(const double* y, Positions x, std::uint32_t i, std::uint32_t lo, std::uint32_t hi,
                      SeriesExtent extent, EdgeList& edges) {
    const double yi = y[i];
    const double xi = x[i];
    if (lo < i) edges.push_back({i - 1, i});
    if (lo + 1 < i) {
        SightLine<Side::Left, Kind> sight(xi, yi, x[i - 1], y[i - 1], extent);
        // Every sample of the left window is lower than y_i: no early stop.
        for (std::uint32_t position = i - 1; (position = sight.pass_below(y, x, position, lo)) > lo;) {
            const std::uint32_t j = --position;
            const double xj = x[j];
            const double yj = y[j];
            if (sight.above(xj, yj)) {
                edges.push_back({j, i});
                sight.aim_at(xj, yj);
            }
        }
    }
    if (i < hi) {
        edges.push_back({i, i + 1});
        if (i + 1 < hi && y[i + 1] < yi) {
            SightLine<Side::Right, Kind> sight(xi, yi, x[i + 1], y[i + 1], extent);
            for (std::uint32_t position = i + 1; (position = sight.pass_below(y, x, position, hi)) < hi;) {
                const std::uint32_t j = ++position;
                const double xj = x[j];
                const double yj = y[j];
                if (sight.above(xj, yj)) {
                    edges.push_back({i, j});
                    sight.aim_at(xj, yj);
                    // Nothing lies beyond a visible sample at least as high as y_i.
                    if (yj >= yi) break;
                }
            }
        }
    }
}

// Left edges (j, i) by j descending, then right edges (i, j) by j ascending.
// extent: that of the whole series.
template <class Positions>
void scan_sample(const double* y, Positions x, std::uint32_t i, std::uint32_t lo, std::uint32_t hi, SeriesExtent extent,
                 EdgeList& edges) {
    if (extent.exact_in_double) {
        scan_sample_with<Coordinates::SmallWhole>(y, x, i, lo, hi, extent, edges);
        return;
    }
    if constexpr (std::is_same_v<Positions, UniformPositions>) {
        static const bool blocks = slope_blocks_available();
        if (blocks && extent.moderate && hi - lo <= kSlopeBlockMaxSpan) {
            scan_sample_in_blocks(y, i, lo, hi, edges);
            return;
        }
    }
    scan_sample_with<Coordinates::Any>(y, x, i, lo, hi, extent, edges);
}

}  // namespace kaltrope
