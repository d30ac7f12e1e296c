#pragma once
// Batches of independent series under the options of the array functions:
// every row validated first (the first failure wins), then each row computed
// by one worker at positions 0, 1, ..., its edges written in the direction
// asked for, with their weights, in row order.

#include <expected>
#include <span>

#include "core/scalar_visibility/checked_entries.hpp"

namespace kaltrope {

// The edges of every row (see GroupedEdges) and, with a weight, one weight
// per edge in the same order.
struct BatchEdgeResult {
    GroupedEdges edges;
    memory::LargeBuffer<double> weights;  // null without a weight
};

std::expected<BatchEdgeResult, InputError> natural_batch_edges(std::span<const Series> rows,
                                                               const EdgeOptions& options);
std::expected<BatchEdgeResult, InputError> horizontal_batch_edges(std::span<const Series> rows,
                                                                  const EdgeOptions& options);

}  // namespace kaltrope
