#pragma once
// Betweenness centrality: the share of shortest paths between other nodes
// that pass through a node.

#include <vector>

#include "core/graph/visibility_graph.hpp"

namespace kaltrope {

// For every node v, the sum over ordered pairs (s, t) of other nodes of
// sigma_st(v) / sigma_st, where sigma_st counts the shortest s-t paths and
// sigma_st(v) those through v; divided by (n - 1)(n - 2) for n >= 3. For
// n < 3 no pair has a node between, and the sum is 0.0 (-0.0 for a lone
// node, which has no pair to add). One search per source (Brandes), four
// consecutive sources in step, on the worker pool; the result does not
// depend on the number of threads. Computed once per graph and kept with it.
const std::vector<double>& betweenness_centrality_all(const VisibilityGraph& graph);

}  // namespace kaltrope
