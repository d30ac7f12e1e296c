#pragma once
// The connected components of a graph.

#include <cstddef>
#include <vector>

#include "core/graph/visibility_graph.hpp"

namespace kaltrope {

struct Components {
    std::size_t count = 0;
    std::size_t largest = 0;  // nodes in the largest component; 0 for no nodes

    // A graph without nodes counts as connected.
    bool connected() const { return count <= 1; }
};

// One sweep with an explicit stack, so that components of millions of nodes
// in a chain cannot exhaust the call stack.
Components components(const VisibilityGraph& graph);

}  // namespace kaltrope
