#pragma once
// Horizontal visibility: a < b see each other when every sample between them
// is strictly lower than both.

#include "core/series/edge_list.hpp"
#include "core/scalar_visibility/batch.hpp"
#include "core/series/input.hpp"

namespace kaltrope {

// Edges of a validated series, by b ascending, then a descending, as
// consecutive parts (one per chunk of samples computed in parallel; a short
// series gives one part). The edges and their order never depend on the
// number of threads.
std::vector<EdgeList> horizontal_edge_parts(Series y);

BatchEdges horizontal_batch(std::span<const Series> rows);

}  // namespace kaltrope
