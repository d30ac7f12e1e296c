#include "core/scalar_visibility/batch_entries.hpp"

#include <vector>

#include "core/scalar_visibility/horizontal.hpp"
#include "core/scalar_visibility/limited_engines.hpp"
#include "core/scalar_visibility/natural.hpp"
#include "support/worker_pool.hpp"

namespace kaltrope {
namespace {

std::expected<EdgeResult, InputError> with_row_values(BatchEdges rows_edges, std::span<const Series> rows,
                                                      const EdgeOptions& options) {
    if (!rows_edges) return std::unexpected(rows_edges.error());
    EdgeResult result{std::move(*rows_edges), nullptr};
    std::vector<std::size_t> first(rows.size() + 1, 0);
    for (std::size_t k = 0; k < rows.size(); ++k) first[k + 1] = first[k] + result.parts[k].size();
    if (options.weight) result.weights = memory::allocate_large_buffer<double>(first.back());
    parallel::for_each_index(rows.size(), [&](std::size_t k) {
        if (options.direction == EdgeDirection::TopToBottom) direct_top_to_bottom(std::span(result.parts[k]), rows[k]);
        if (options.weight) {
            edge_weights_into(result.parts[k], rows[k], Series{}, *options.weight, result.weights.get() + first[k]);
        }
    });
    return result;
}

}  // namespace

std::expected<EdgeResult, InputError> natural_batch_edges(std::span<const Series> rows, const EdgeOptions& options) {
    if (options.limits.plain()) return with_row_values(natural_batch(rows), rows, options);
    return with_row_values(
        run_batch(rows,
                  [&](Series row) {
                      return join_parts(limited_natural_parts(row, UniformPositions{}, options.limits, false));
                  }),
        rows, options);
}

std::expected<EdgeResult, InputError> horizontal_batch_edges(std::span<const Series> rows, const EdgeOptions& options) {
    if (options.limits.plain()) return with_row_values(horizontal_batch(rows), rows, options);
    return with_row_values(
        run_batch(rows, [&](Series row) { return join_parts(limited_horizontal_parts(row, options.limits, false)); }),
        rows, options);
}

}  // namespace kaltrope
