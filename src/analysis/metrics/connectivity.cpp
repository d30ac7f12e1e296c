#include "analysis/metrics/connectivity.hpp"

#include <algorithm>

namespace kaltrope {
namespace {

constexpr std::uint32_t kUnlabelled = ~std::uint32_t{0};

}  // namespace

ComponentLabels label_components(const VisibilityGraph& graph) {
    const Adjacency& adjacency = graph.adjacency();
    const std::size_t n = adjacency.node_count();
    ComponentLabels labels;
    labels.of_node.assign(n, kUnlabelled);
    std::vector<std::uint32_t> stack;
    for (std::size_t start = 0; start < n; ++start) {
        if (labels.of_node[start] != kUnlabelled) continue;
        const auto component = static_cast<std::uint32_t>(labels.sizes.size());
        labels.of_node[start] = component;
        stack.push_back(static_cast<std::uint32_t>(start));
        std::uint32_t size = 0;
        while (!stack.empty()) {
            const std::uint32_t v = stack.back();
            stack.pop_back();
            ++size;
            for (const std::uint32_t w : adjacency.neighbors(v)) {
                if (labels.of_node[w] == kUnlabelled) {
                    labels.of_node[w] = component;
                    stack.push_back(w);
                }
            }
        }
        labels.sizes.push_back(size);
    }
    return labels;
}

Components components(const VisibilityGraph& graph) {
    const std::vector<std::uint32_t> sizes = label_components(graph).sizes;
    Components found;
    found.count = sizes.size();
    if (!sizes.empty()) found.largest = *std::ranges::max_element(sizes);
    return found;
}

}  // namespace kaltrope
