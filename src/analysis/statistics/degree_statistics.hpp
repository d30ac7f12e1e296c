#pragma once
// Summary numbers of a graph's degrees and edges.

#include "core/graph/visibility_graph.hpp"

namespace kaltrope {

// Population variance of the degrees; 0.0 for no nodes.
double degree_variance(const VisibilityGraph& graph);
double degree_std_dev(const VisibilityGraph& graph);

// Shannon entropy, in bits, of the share of nodes with each degree; 0.0 for
// no nodes. The sum starts from -0.0, so equal degrees everywhere give -0.0.
double degree_entropy(const VisibilityGraph& graph);

// Edges over node pairs; 0.0 for fewer than two nodes.
double density(const VisibilityGraph& graph);

// The correlation of the degrees at the two ends of the edges; 0.0 without
// edges and when every edge joins equal degrees (the variance is then 0).
double assortativity(const VisibilityGraph& graph);

}  // namespace kaltrope
