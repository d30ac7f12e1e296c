#pragma once
// How the degrees of a graph are spread over its nodes.

#include <cstddef>
#include <utility>
#include <vector>

#include "core/graph/visibility_graph.hpp"

namespace kaltrope {

// (degree, number of nodes of that degree) for every degree that occurs,
// ascending by degree.
std::vector<std::pair<std::size_t, std::size_t>> degree_distribution(const VisibilityGraph& graph);

// degree / (n - 1) per node; zeros for n < 2.
std::vector<double> degree_centrality(const VisibilityGraph& graph);

}  // namespace kaltrope
