#pragma once
// Horizontal visibility: a < b see each other when every sample between them
// is strictly lower than both.

#include "core/algorithms/edge_list.hpp"
#include "core/algorithms/fast/batch.hpp"
#include "core/algorithms/fast/input.hpp"

namespace kaltrope {

// Edges of a validated series, by b ascending, then a descending.
EdgeList horizontal_edges(Series y);

BatchEdges horizontal_batch(std::span<const Series> rows);

}  // namespace kaltrope
