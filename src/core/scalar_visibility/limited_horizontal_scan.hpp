#pragma once
// Limited penetrable horizontal visibility with a window, one sample at a
// time: a < b are joined when at most p samples between them are not
// strictly lower than both, that is at least min(y_a, y_b).
//
// From b, scanning a = b - 1, b - 2, ...: a joined pair needs fewer than
// p + 1 passed samples at least y_a, so a is joined exactly when y_a exceeds
// the least of the p + 1 highest values passed (or fewer than p + 1 were
// passed). Once those p + 1 values are all at least y_b, every further a is
// blocked by them (whichever end is lower) and the scan ends. Samples not
// above the least of them are skipped along the chain of previous higher
// samples, so a long run below it (a rising trend) costs one step.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

#include "core/scalar_visibility/largest_items.hpp"
#include "core/scalar_visibility/visibility_limits.hpp"
#include "core/series/edge_list.hpp"
#include "core/series/input.hpp"

namespace kaltrope {

inline constexpr std::uint32_t kNoSample = std::numeric_limits<std::uint32_t>::max();

// For each sample a, the nearest k < a with y_k > y_a, or kNoSample.
std::vector<std::uint32_t> previous_higher(Series y);

class LimitedHorizontalScan {
public:
    // previous: previous_higher(y).
    LimitedHorizontalScan(Series y, std::span<const std::uint32_t> previous, std::uint64_t penetrable,
                          const SampleReach& reach)
        : y_(y.data()),
          previous_(previous.data()),
          keep_(static_cast<std::size_t>(std::min<std::uint64_t>(penetrable, y.size()) + 1)),
          reach_(&reach) {}

    // Appends the edges (a, b) of sample b, a descending; returns the number
    // of samples passed.
    std::uint64_t operator()(std::uint32_t b, EdgeList& edges) {
        const std::uint32_t first = reach_->first(b);
        const double yb = y_[b];
        highest_.reset(keep_);
        std::uint32_t a = b;
        while (a != first && !highest_.full()) {
            --a;
            edges.push_back({a, b});
            highest_.add(y_[a], std::greater{});
        }
        if (a == first) return b - a;
        std::uint64_t steps = b - a;
        for (double least = highest_.least(); least < yb;) {
            // Everything between a sample and its previous higher one is lower.
            std::uint32_t k = a - 1;
            while (k != kNoSample && k >= first && y_[k] <= least) k = previous_[k], ++steps;
            if (k == kNoSample || k < first) break;
            a = k;
            edges.push_back({a, b});
            highest_.replace_least(y_[a], std::greater{});
            least = highest_.least();
        }
        return steps;
    }

private:
    const double* y_;
    const std::uint32_t* previous_;
    std::size_t keep_;
    const SampleReach* reach_;
    LargestItems<double> highest_;
};

}  // namespace kaltrope
