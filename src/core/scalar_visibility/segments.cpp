#include "core/scalar_visibility/segments.hpp"

namespace kaltrope {

// One pass with a stack of indices whose values do not increase: a sample
// popped by a strictly higher one has found the end of its window, and the
// sample left on top after the pops bounds the new sample's window on the left.
Segments segments(Series y) {
    const auto n = static_cast<std::uint32_t>(y.size());
    Segments windows{std::vector<std::uint32_t>(n), std::vector<std::uint32_t>(n)};
    std::vector<std::uint32_t> stack;
    stack.reserve(64);
    for (std::uint32_t i = 0; i < n; ++i) {
        while (!stack.empty() && y[i] > y[stack.back()]) {
            windows.hi[stack.back()] = i - 1;
            stack.pop_back();
        }
        windows.lo[i] = stack.empty() ? 0 : stack.back() + 1;
        stack.push_back(i);
    }
    for (std::uint32_t i : stack) windows.hi[i] = n - 1;
    return windows;
}

std::uint64_t scan_work(const Segments& windows) {
    std::uint64_t work = 0;
    for (std::size_t i = 0; i < windows.lo.size(); ++i) {
        work += static_cast<std::uint32_t>(windows.hi[i] - windows.lo[i]);
    }
    return work;
}

}  // namespace kaltrope
