#pragma once
// Horizontal visibility: a < b see each other when every sample between them
// is strictly lower than both.

#include <cstdint>
#include <optional>

#include "core/series/edge_list.hpp"
#include "core/scalar_visibility/batch.hpp"
#include "core/scalar_visibility/edge_values.hpp"
#include "core/scalar_visibility/ordered_pairs.hpp"
#include "core/scalar_visibility/visibility_limits.hpp"
#include "core/series/input.hpp"

namespace kaltrope {

// Edges of a validated series, by b ascending, then a descending, as
// consecutive parts (one per chunk of samples computed in parallel; a short
// series gives one part). The edges and their order never depend on the
// number of threads.
std::vector<EdgeList> horizontal_edge_parts(Series y);

// The edges written once as int64 pairs, chunk after chunk of samples as
// soon as the chunks before them are: this engine's without limits, else the
// limited engine's (limited_engines.hpp), in the same order, each pair
// written in direction.
EdgePairs horizontal_edge_pairs(Series y, const VisibilityLimits& limits, EdgeDirection direction);

// The degree of every sample of a validated series into degrees[0 .. n),
// counting only the edges (a, b) with b - a at most window, if given; in
// parallel when asked to and the series is long. Beyond the degrees, it
// keeps a stack as deep as a chunk's longest strictly falling run, and the
// chunks' records and the edges between chunks (few along a random walk).
void horizontal_degrees(Series y, std::optional<std::uint64_t> window, bool parallel, std::int64_t* degrees);

BatchEdges horizontal_batch(std::span<const Series> rows);

}  // namespace kaltrope
