#pragma once
// The connected components of a graph.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/graph/visibility_graph.hpp"

namespace kaltrope {

struct Components {
    std::size_t count = 0;
    std::size_t largest = 0;  // nodes in the largest component; 0 for no nodes

    // A graph without nodes counts as connected.
    bool connected() const { return count <= 1; }
};

// The component of every node, numbered 0, 1, ... by their lowest node.
struct ComponentLabels {
    std::vector<std::uint32_t> of_node;
    std::vector<std::uint32_t> sizes;  // nodes per component
};

// One sweep with an explicit stack, so that components of millions of nodes
// in a chain cannot exhaust the call stack.
ComponentLabels label_components(const VisibilityGraph& graph);

Components components(const VisibilityGraph& graph);

}  // namespace kaltrope
