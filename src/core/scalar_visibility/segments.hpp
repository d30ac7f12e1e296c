#pragma once
// Each sample's window [lo, hi] in which it is the leftmost maximum: to the
// left an equal value ends the window, to the right only a higher one.

#include <cstdint>
#include <vector>

#include "core/series/input.hpp"
#include "support/large_buffer.hpp"

namespace kaltrope {

// Filled once, in parallel for long series: not zeroed first.
using WindowBounds = std::vector<std::uint32_t, memory::LargeAllocator<std::uint32_t>>;

struct Segments {
    WindowBounds lo;
    WindowBounds hi;
};

// In parallel for long series; the same windows for any number of threads.
Segments segments(Series y);

// Each window narrowed to the samples at most `window` indices from its own:
// visibility between two samples depends only on the samples between them,
// so the engines then find exactly the pairs that are that close.
void narrow_to(Segments& windows, std::uint64_t window);

// The number of candidates the scan engine examines: the sum of hi - lo.
std::uint64_t scan_work(const Segments& windows);

}  // namespace kaltrope
