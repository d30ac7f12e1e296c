#pragma once
// The modularity of a division of a graph's nodes into communities.

#include <cstdint>
#include <span>

#include "core/graph/adjacency.hpp"

namespace kaltrope {

// Q = sum over communities c of e_c / m - gamma K_c^2 / (2m)^2, with e_c the
// edges inside c, K_c the degrees summed over c and m the edges; 0.0 for a
// graph without edges. Nodes with equal labels form a community; labels has
// one entry per node, of any values.
double modularity(const Adjacency& adjacency, std::span<const std::int64_t> labels, double resolution = 1.0);

// The same for labels below the node count.
double modularity(const Adjacency& adjacency, std::span<const std::uint32_t> labels, double resolution = 1.0);

}  // namespace kaltrope
