#pragma once
// The engines of the limited graphs (limited_natural_scan.hpp,
// limited_horizontal_scan.hpp) on a validated series, in the plain engines'
// order: natural edges sample by sample, each produced by its higher endpoint
// (the left one on a tie), left edges nearest first, then right edges nearest
// first; horizontal edges by b ascending, then a descending. Under any limits
// the result is the plain graph's edges that meet them, in the same relative
// order.
//
// indices: the sample index of each sample, for the window (empty: the
// samples' own indices).

#include <cstdint>
#include <span>
#include <vector>

#include "core/scalar_visibility/visibility_limits.hpp"
#include "core/series/edge_list.hpp"
#include "core/series/input.hpp"

namespace kaltrope {

// As consecutive parts, computed in parallel when asked to and n is large.
std::vector<EdgeList> limited_natural_parts(Series y, UniformPositions x, const VisibilityLimits& limits, bool parallel,
                                            std::span<const std::uint32_t> indices = {});
std::vector<EdgeList> limited_natural_parts(Series y, ExplicitPositions x, const VisibilityLimits& limits,
                                            bool parallel, std::span<const std::uint32_t> indices = {});
std::vector<EdgeList> limited_horizontal_parts(Series y, const VisibilityLimits& limits, bool parallel,
                                               std::span<const std::uint32_t> indices = {});

}  // namespace kaltrope
