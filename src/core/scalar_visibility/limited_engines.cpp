#include "core/scalar_visibility/limited_engines.hpp"

#include <algorithm>

#include "core/scalar_visibility/limited_horizontal_scan.hpp"
#include "core/scalar_visibility/limited_natural_scan.hpp"
#include "core/scalar_visibility/sample_parts.hpp"

namespace kaltrope {
namespace {

template <class Positions>
std::vector<EdgeList> natural_parts(Series y, Positions x, const VisibilityLimits& limits, bool parallel,
                                    std::span<const std::uint32_t> indices) {
    if (y.size() < 2) return {};
    const SampleReach reach(limits.window, y.size(), indices);
    return edges_by_sample(y.size(), LimitedNaturalScan(y, x, limits.penetrable, reach), parallel);
}

}  // namespace

std::vector<std::uint32_t> previous_higher(Series y) {
    std::vector<std::uint32_t> previous(y.size());
    std::vector<std::uint32_t> stack;  // indices whose values do not increase
    for (std::uint32_t a = 0; a < y.size(); ++a) {
        while (!stack.empty() && y[stack.back()] <= y[a]) stack.pop_back();
        previous[a] = stack.empty() ? kNoSample : stack.back();
        stack.push_back(a);
    }
    return previous;
}

std::vector<EdgeList> limited_natural_parts(Series y, UniformPositions x, const VisibilityLimits& limits, bool parallel,
                                            std::span<const std::uint32_t> indices) {
    return natural_parts(y, x, limits, parallel, indices);
}

std::vector<EdgeList> limited_natural_parts(Series y, ExplicitPositions x, const VisibilityLimits& limits,
                                            bool parallel, std::span<const std::uint32_t> indices) {
    return natural_parts(y, x, limits, parallel, indices);
}

std::vector<EdgeList> limited_horizontal_parts(Series y, const VisibilityLimits& limits, bool parallel,
                                               std::span<const std::uint32_t> indices) {
    if (y.size() < 2) return {};
    const SampleReach reach(limits.window, y.size(), indices);
    const std::vector<std::uint32_t> previous = previous_higher(y);
    return edges_by_sample(y.size(), LimitedHorizontalScan(y, previous, limits.penetrable, reach), parallel);
}

}  // namespace kaltrope
