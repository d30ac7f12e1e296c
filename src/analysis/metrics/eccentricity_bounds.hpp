#pragma once
// The radius and diameter of a graph without a search from every node.

#include <cstddef>

#include "core/graph/visibility_graph.hpp"

namespace kaltrope {

// A node's eccentricity is its largest distance to a node it reaches (0 for
// an isolated node).
struct RadiusAndDiameter {
    std::size_t radius = 0;    // the smallest eccentricity
    std::size_t diameter = 0;  // the largest
};

// Exact, by bounding every node's eccentricity (Takes and Kosters, 2013):
// a search from v, of eccentricity e, bounds each node w it reaches, at
// distance d, between max(d, e - d) and e + d. Searches go alternately from
// the node of highest upper bound that could still raise the diameter and
// the node of lowest lower bound that could still lower the radius (the
// higher degree on ties), until the bounds settle both. Each component is
// bounded above by its size less one to begin with, so small components
// need no search. Visibility graphs settle after a few dozen searches.
RadiusAndDiameter bounded_radius_and_diameter(const VisibilityGraph& graph);

}  // namespace kaltrope
