#pragma once
// The plain natural scan of every sample over its reach (a window of indices,
// or the whole series), as a scan of sample_parts.hpp. The samples' windows
// (segments.hpp) are never computed: the scan finds where each one ends by
// itself.

#include <cstdint>

#include "core/predicates/sight_line.hpp"
#include "core/scalar_visibility/sample_scan.hpp"
#include "core/scalar_visibility/visibility_limits.hpp"
#include "core/series/edge_list.hpp"
#include "core/series/input.hpp"

namespace kaltrope {

template <class Positions>
class ReachScan {
public:
    // y (and the positions) validated; both and reach must outlive the scan.
    ReachScan(Series y, Positions x, const SampleReach& reach)
        : y_(y.data()), x_(x), reach_(&reach), extent_(extent_of(y, x)) {}

    // Appends the edges of sample i, as NaturalSampleEngine::scan does, and
    // returns the number of candidates passed.
    std::uint64_t operator()(std::uint32_t i, EdgeList& edges) const {
        return scan_sample(y_, x_, i, reach_->first(i), reach_->last(i), extent_, edges);
    }

private:
    const double* y_;
    Positions x_;
    const SampleReach* reach_;
    SeriesExtent extent_;
};

}  // namespace kaltrope
