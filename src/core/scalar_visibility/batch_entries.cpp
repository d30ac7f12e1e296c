#include "core/scalar_visibility/batch_entries.hpp"

#include <vector>

#include "core/scalar_visibility/horizontal.hpp"
#include "core/scalar_visibility/limited_engines.hpp"
#include "core/scalar_visibility/natural.hpp"
#include "support/worker_pool.hpp"

namespace kaltrope {
namespace {

// Row k's edges, inside the part of its group (a group holds whole rows).
std::vector<std::span<Edge>> row_edges(GroupedEdges& batch) {
    std::vector<std::span<Edge>> rows(batch.ends.size());
    std::size_t part = 0;
    std::uint64_t part_start = 0;
    std::uint64_t begin = 0;
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const std::uint64_t end = batch.ends[k];
        while (end > part_start + batch.parts[part].size()) part_start += batch.parts[part++].size();
        rows[k] = std::span(batch.parts[part]).subspan(begin - part_start, end - begin);
        begin = end;
    }
    return rows;
}

std::expected<BatchEdgeResult, InputError> with_row_values(BatchEdges batch, std::span<const Series> rows,
                                                           const EdgeOptions& options) {
    if (!batch) return std::unexpected(batch.error());
    BatchEdgeResult result{std::move(*batch), nullptr};
    if (options.direction == EdgeDirection::LeftToRight && !options.weight) return result;
    const std::vector<std::span<Edge>> edges = row_edges(result.edges);
    const std::uint64_t total = result.edges.ends.empty() ? 0 : result.edges.ends.back();
    if (options.weight) result.weights = memory::allocate_large_buffer<double>(total);
    parallel::for_each_index(rows.size(), [&](std::size_t k) {
        if (options.direction == EdgeDirection::TopToBottom) direct_top_to_bottom(edges[k], rows[k]);
        if (options.weight) {
            const std::uint64_t first = k == 0 ? 0 : result.edges.ends[k - 1];
            edge_weights_into(edges[k], rows[k], Series{}, *options.weight, result.weights.get() + first);
        }
    });
    return result;
}

}  // namespace

std::expected<BatchEdgeResult, InputError> natural_batch_edges(std::span<const Series> rows, const EdgeOptions& options) {
    if (options.limits.plain()) return with_row_values(natural_batch(rows), rows, options);
    return with_row_values(
        run_batch(rows,
                  [&](Series row) {
                      return join_parts(limited_natural_parts(row, UniformPositions{}, options.limits, false));
                  }),
        rows, options);
}

std::expected<BatchEdgeResult, InputError> horizontal_batch_edges(std::span<const Series> rows, const EdgeOptions& options) {
    if (options.limits.plain()) return with_row_values(horizontal_batch(rows), rows, options);
    return with_row_values(
        run_batch(rows, [&](Series row) { return join_parts(limited_horizontal_parts(row, options.limits, false)); }),
        rows, options);
}

}  // namespace kaltrope
