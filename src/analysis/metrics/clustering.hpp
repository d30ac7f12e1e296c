#pragma once
// Clustering: how often the neighbours of a node are linked to each other.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/graph/visibility_graph.hpp"

namespace kaltrope {

// The links among the node's k neighbours over k(k - 1)/2; 0.0 for k < 2,
// nothing for a node out of range.
std::optional<double> clustering_coefficient(const VisibilityGraph& graph, std::size_t node);

// Every node's coefficient, as clustering_coefficient gives it, from the
// triangles counted once each on the worker pool.
std::vector<double> clustering_coefficients(const VisibilityGraph& graph);

struct ClusteringSummary {
    // The mean of every node's coefficient; 0.0 for no nodes.
    double average = 0.0;
    // The links among neighbours, summed over nodes, over the neighbour pairs
    // summed over nodes: three triangles per connected triple. 0.0 when no
    // node has two neighbours.
    double global = 0.0;
};

// Counts every triangle once, from its lowest-degree corner, on the worker pool.
ClusteringSummary clustering_summary(const VisibilityGraph& graph);

// The number of triangles, each counted once, on the worker pool.
std::uint64_t triangle_count(const VisibilityGraph& graph);

// ClusteringSummary::global alone, from the number of triangles.
double transitivity(const VisibilityGraph& graph);

}  // namespace kaltrope
