#include "core/algorithms/fast/segments.hpp"

namespace kaltrope {

Segments segments(Series y) {
    const auto n = static_cast<std::uint32_t>(y.size());
    Segments windows{std::vector<std::uint32_t>(n), std::vector<std::uint32_t>(n)};
    std::vector<std::uint32_t> stack;
    stack.reserve(64);
    for (std::uint32_t i = 0; i < n; ++i) {
        while (!stack.empty() && y[i] > y[stack.back()]) stack.pop_back();
        windows.lo[i] = stack.empty() ? 0 : stack.back() + 1;
        stack.push_back(i);
    }
    stack.clear();
    for (std::uint32_t i = n; i-- > 0;) {
        while (!stack.empty() && !(y[i] < y[stack.back()])) stack.pop_back();
        windows.hi[i] = stack.empty() ? n - 1 : stack.back() - 1;
        stack.push_back(i);
    }
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
