#pragma once
// Each sample's window [lo, hi] in which it is the leftmost maximum: to the
// left an equal value ends the window, to the right only a higher one.

#include <cstdint>
#include <vector>

#include "core/series/input.hpp"

namespace kaltrope {

struct Segments {
    std::vector<std::uint32_t> lo;
    std::vector<std::uint32_t> hi;
};

Segments segments(Series y);

// The number of candidates the scan engine examines: the sum of hi - lo.
std::uint64_t scan_work(const Segments& windows);

}  // namespace kaltrope
