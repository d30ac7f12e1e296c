#include "core/vector_visibility/checked_vector_edges.hpp"

#include "core/vector_visibility/vector_visibility.hpp"
#include "support/worker_pool.hpp"

namespace kaltrope::vector {
namespace {

std::vector<EdgeList> edge_parts(bool horizontal, RowMatrix x, std::optional<Series> positions) {
    if (horizontal) return horizontal_vector_edge_parts(x, true);
    if (positions) return natural_vector_edge_parts(x, ExplicitPositions{positions->data()}, true);
    return natural_vector_edge_parts(x, UniformPositions{}, true);
}

// Each part's weights go to their own place in one buffer, on the worker pool.
memory::LargeBuffer<double> weights_of(const std::vector<EdgeList>& parts, RowMatrix x, std::optional<Series> positions,
                                       VectorWeight weight) {
    std::vector<std::size_t> first(parts.size() + 1, 0);
    for (std::size_t part = 0; part < parts.size(); ++part) first[part + 1] = first[part] + parts[part].size();
    auto weights = memory::allocate_large_buffer<double>(first.back());
    parallel::for_each_index(parts.size(), [&](std::size_t part) {
        vector_weights_into(parts[part], x, positions, weight, weights.get() + first[part]);
    });
    return weights;
}

}  // namespace

std::expected<WeightedEdgeParts, InputError> checked_vector_edge_parts(bool horizontal, RowMatrix x,
                                                                       std::optional<Series> positions,
                                                                       std::optional<VectorWeight> weight) {
    if (auto valid = validate_matrix(x, positions); !valid) return std::unexpected(valid.error());
    WeightedEdgeParts result;
    result.parts = edge_parts(horizontal, x, positions);
    if (weight) result.weights = weights_of(result.parts, x, positions, *weight);
    return result;
}

}  // namespace kaltrope::vector
