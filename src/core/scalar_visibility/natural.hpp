#pragma once
// Natural visibility: a < b see each other when every sample between them
// lies strictly below the straight line through them.

#include "core/series/edge_list.hpp"
#include "core/scalar_visibility/batch.hpp"
#include "core/scalar_visibility/edge_values.hpp"
#include "core/scalar_visibility/engine_choice.hpp"
#include "core/scalar_visibility/ordered_pairs.hpp"
#include "core/scalar_visibility/visibility_limits.hpp"
#include "core/series/input.hpp"

namespace kaltrope {

// Edges of a validated series (positions validated too). Samples in
// ascending order; for each sample i its left edges (j, i) by j descending,
// then its right edges (i, j) by j ascending. Every engine and every number
// of threads gives the same array.
EdgeList natural_edges_with(Series y, UniformPositions x, Algorithm algorithm);
EdgeList natural_edges_with(Series y, ExplicitPositions x, Algorithm algorithm);

// The same edges as consecutive parts, one per chunk of samples, so that a
// caller copying them elsewhere need not join them first.
std::vector<EdgeList> natural_edge_parts(Series y, UniformPositions x, Algorithm algorithm);
std::vector<EdgeList> natural_edge_parts(Series y, ExplicitPositions x, Algorithm algorithm);

// The edges written once as int64 pairs, chunk after chunk of samples as
// soon as the chunks before them are: the plain engines' without limits, else
// the limited engine's (limited_engines.hpp), in the same order, each pair
// written in direction.
EdgePairs natural_edge_pairs(Series y, UniformPositions x, const VisibilityLimits& limits, EdgeDirection direction,
                             Algorithm algorithm);
EdgePairs natural_edge_pairs(Series y, ExplicitPositions x, const VisibilityLimits& limits, EdgeDirection direction,
                             Algorithm algorithm);

// The scan engine on every row, uniform positions, each row on one worker.
BatchEdges natural_batch(std::span<const Series> rows);

}  // namespace kaltrope
