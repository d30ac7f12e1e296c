#pragma once
// Hop distances: between two nodes, and over all pairs of nodes.

#include <cstddef>
#include <optional>

#include "analysis/metrics/eccentricity_bounds.hpp"
#include "core/graph/visibility_graph.hpp"

namespace kaltrope {

// The least number of edges from source to target; nothing when either is
// out of range or no path joins them.
std::optional<std::size_t> shortest_path_length(const VisibilityGraph& graph, std::size_t source, std::size_t target);

// Over every pair of nodes joined by a path; pairs without one are left out.
struct PathSummary {
    // The smallest eccentricity, a node's eccentricity being its largest
    // distance to a node it reaches (0 for an isolated node).
    std::size_t radius = 0;
    // The largest distance.
    std::size_t diameter = 0;
    // The mean distance over unordered pairs; 0.0 when no pair is joined.
    double average_path_length = 0.0;
};

// One breadth-first search from every node, 64 sources at a time, on the
// worker pool; done once per graph and kept with it.
PathSummary path_summary(const VisibilityGraph& graph);

// The radius and diameter of path_summary, taken from it when it has been
// computed already, else found by bounding the eccentricities
// (eccentricity_bounds.hpp), which is kept with the graph.
RadiusAndDiameter radius_and_diameter(const VisibilityGraph& graph);

}  // namespace kaltrope
