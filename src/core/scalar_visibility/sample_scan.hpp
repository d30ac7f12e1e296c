#pragma once
// The scan engine's work for one sample i: every natural visibility edge of i
// inside its window [lo, hi], found by walking outward from i and keeping the
// steepest line seen so far. A candidate j is visible when the line to it is
// strictly steeper than that line; the test is cross-multiplied, never divided.

#include <cstdint>

#include "core/series/edge_list.hpp"

namespace kaltrope {

// Left edges (j, i) by j descending, then right edges (i, j) by j ascending.
template <class Positions>
void scan_sample(const double* y, Positions x, std::uint32_t i, std::uint32_t lo, std::uint32_t hi,
                 EdgeList& edges) {
    const double yi = y[i];
    const double xi = x[i];
    if (lo < i) {
        edges.push_back({i - 1, i});
        double best_dy = y[i - 1] - yi;
        double best_dx = xi - x[i - 1];
        // Every sample of the left window is lower than y_i: no early stop.
        for (std::uint32_t j = i - 1; j-- > lo;) {
            const double dy = y[j] - yi;
            const double dx = xi - x[j];
            if (best_dx * dy > best_dy * dx) {
                edges.push_back({j, i});
                best_dy = dy;
                best_dx = dx;
            }
        }
    }
    if (i < hi) {
        edges.push_back({i, i + 1});
        double best_dy = y[i + 1] - yi;
        if (i + 1 < hi && best_dy < 0) {
            double best_dx = x[i + 1] - xi;
            for (std::uint32_t j = i + 2; j <= hi; ++j) {
                const double dy = y[j] - yi;
                const double dx = x[j] - xi;
                if (best_dx * dy > best_dy * dx) {
                    edges.push_back({i, j});
                    best_dy = dy;
                    best_dx = dx;
                    // Nothing lies beyond a visible sample at least as high as y_i.
                    if (best_dy >= 0) break;
                }
            }
        }
    }
}

}  // namespace kaltrope
