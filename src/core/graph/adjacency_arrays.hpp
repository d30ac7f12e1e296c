#pragma once
// A graph's edges and degrees written into flat arrays, as NumPy holds them.

#include <cstdint>
#include <span>

#include "core/graph/adjacency.hpp"

namespace kaltrope {

// Writes every edge (a, b), a < b, ascending, as a, b at pairs[2k], pairs[2k + 1];
// pairs holds 2 * edge_count values. On the worker pool.
void write_edge_pairs(const Adjacency& adjacency, std::span<std::int64_t> pairs);

// Writes the degree of every node; degrees holds node_count values.
void write_degrees(const Adjacency& adjacency, std::span<std::int64_t> degrees);

}  // namespace kaltrope
