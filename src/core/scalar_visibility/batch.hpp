#pragma once
// Batches of independent series: validate every row, then compute the rows on
// the worker pool, each row by one worker, results in row order.

#include <expected>
#include <span>
#include <vector>

#include "core/series/edge_list.hpp"
#include "core/series/input.hpp"
#include "support/worker_pool.hpp"

namespace kaltrope {

using BatchEdges = std::expected<std::vector<EdgeList>, InputError>;

template <class RowEngine>
BatchEdges run_batch(std::span<const Series> rows, RowEngine&& engine) {
    if (auto valid = validate_rows(rows); !valid) return std::unexpected(valid.error());
    std::vector<EdgeList> results(rows.size());
    parallel::for_each_index(rows.size(), [&](std::size_t k) { results[k] = engine(rows[k]); });
    return results;
}

}  // namespace kaltrope
