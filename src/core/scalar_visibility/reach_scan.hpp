#pragma once
// The plain natural scan of every sample over its reach, a window of indices,
// as a scan of sample_parts.hpp, in slope blocks: the samples' windows
// (segments.hpp) are never computed, as the blocks find where each one ends
// by themselves.

#include <cstdint>
#include <optional>
#include <type_traits>

#include "core/predicates/sight_line.hpp"
#include "core/scalar_visibility/engine_choice.hpp"
#include "core/scalar_visibility/slope_blocks.hpp"
#include "core/scalar_visibility/visibility_limits.hpp"
#include "core/series/edge_list.hpp"
#include "core/series/input.hpp"

namespace kaltrope {

class ReachScan {
public:
    // y validated, where scans_over_reach holds for the reach's window; y
    // and reach must outlive the scan.
    ReachScan(Series y, const SampleReach& reach) : y_(y.data()), reach_(&reach) {}

    // Appends the edges of sample i, as NaturalSampleEngine::scan does, and
    // returns the number of candidates passed.
    std::uint64_t operator()(std::uint32_t i, EdgeList& edges) const {
        return scan_sample_in_blocks(y_, i, reach_->first(i), reach_->last(i), edges);
    }

private:
    const double* y_;
    const SampleReach* reach_;
};

// Whether a window over y is scanned over the reach: when the scan is the
// engine for any series with windows this narrow (asked for, or chosen by
// Auto), and the slope blocks take every sample, as they find where a
// window ends at no cost (the plain walk pays about what finding the windows
// first costs).
template <class Positions>
bool scans_over_reach(Series y, Positions x, std::optional<std::uint64_t> window, Algorithm requested) {
    if (!std::is_same_v<Positions, UniformPositions> || !window || *window > kSlopeBlockMaxSpan / 2) return false;
    if (requested == Algorithm::Hull || !slope_blocks_available()) return false;
    // 2 * window candidates for every sample at most: below 2^13 * 2^32.
    const std::size_t n = y.size();
    if (requested == Algorithm::Auto && uses_hull_tree(2 * *window * n, n, Algorithm::Auto)) return false;
    const SeriesExtent extent = extent_of(y, x);
    return !extent.exact_in_double && extent.moderate;
}

}  // namespace kaltrope
