#include "core/scalar_visibility/horizontal.hpp"

#include "support/interruption.hpp"

namespace kaltrope {

EdgeList horizontal_edges(Series y) {
    const auto n = static_cast<std::uint32_t>(y.size());
    EdgeList edges;
    edges.reserve(2 * static_cast<std::size_t>(n));
    // Indices whose values do not increase from bottom to top.
    std::vector<std::uint32_t> stack;
    stack.reserve(64);
    for (std::uint32_t i = 0; i < n; ++i) {
        if (i % (1u << 20) == 0) interruption::poll();
        const double value = y[i];
        while (!stack.empty()) {
            const std::uint32_t top = stack.back();
            edges.push_back({top, i});
            if (value > y[top]) {
                stack.pop_back();
                continue;
            }
            // An equal value blocks everything behind it, so it leaves the stack.
            if (value == y[top]) stack.pop_back();
            break;
        }
        stack.push_back(i);
    }
    return edges;
}

BatchEdges horizontal_batch(std::span<const Series> rows) { return run_batch(rows, horizontal_edges); }

}  // namespace kaltrope
