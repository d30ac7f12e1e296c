#pragma once
// Natural and horizontal visibility graphs of multivariate series, for one
// series (rows cut into chunks on the worker pool) or a batch of windows (one
// worker per window). Edges are sorted by source row, then target row, for
// any number of threads.

#include <expected>
#include <span>
#include <vector>

#include "core/series/edge_list.hpp"
#include "core/series/input.hpp"
#include "core/vector_visibility/row_matrix.hpp"

namespace kaltrope::vector {

// Series from this many rows are cut into chunks when run in parallel.
inline constexpr std::size_t kParallelMinRows = 512;
inline constexpr std::size_t kMinChunkRows = 32;

// Rows per parallel chunk: max(32, T / (16 * threads)).
std::size_t chunk_rows(std::size_t rows, std::size_t threads);

// The edges of a validated series as consecutive parts (one per chunk in
// parallel mode, a single one otherwise); join_parts gives the edge list.
std::vector<EdgeList> natural_vector_edge_parts(RowMatrix x, UniformPositions positions, bool parallel);
std::vector<EdgeList> natural_vector_edge_parts(RowMatrix x, ExplicitPositions positions, bool parallel);
std::vector<EdgeList> horizontal_vector_edge_parts(RowMatrix x, bool parallel);

EdgeList natural_vector_edges(RowMatrix x, UniformPositions positions, bool parallel);
EdgeList natural_vector_edges(RowMatrix x, ExplicitPositions positions, bool parallel);
EdgeList horizontal_vector_edges(RowMatrix x, bool parallel);

// Windows of equal shape: when they hold no values at all, one empty graph
// each without any check; otherwise every window is validated in order (the
// first failure wins), then each is computed sequentially with uniform
// positions, on the worker pool.
using VectorBatch = std::expected<std::vector<EdgeList>, InputError>;
VectorBatch natural_vector_batch(std::span<const RowMatrix> windows);
VectorBatch horizontal_vector_batch(std::span<const RowMatrix> windows);

}  // namespace kaltrope::vector
