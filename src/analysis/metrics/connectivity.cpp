#include "analysis/metrics/connectivity.hpp"

#include <algorithm>
#include <cstdint>

namespace kaltrope {

Components components(const VisibilityGraph& graph) {
    const Adjacency& adjacency = graph.adjacency();
    const std::size_t n = adjacency.node_count();
    std::vector<std::uint8_t> seen(n, 0);
    std::vector<std::uint32_t> stack;
    Components found;
    for (std::size_t start = 0; start < n; ++start) {
        if (seen[start]) continue;
        seen[start] = 1;
        stack.push_back(static_cast<std::uint32_t>(start));
        std::size_t size = 0;
        while (!stack.empty()) {
            const std::uint32_t v = stack.back();
            stack.pop_back();
            ++size;
            for (const std::uint32_t w : adjacency.neighbors(v)) {
                if (!seen[w]) {
                    seen[w] = 1;
                    stack.push_back(w);
                }
            }
        }
        ++found.count;
        found.largest = std::max(found.largest, size);
    }
    return found;
}

}  // namespace kaltrope
