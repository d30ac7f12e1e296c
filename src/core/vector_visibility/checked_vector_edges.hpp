#pragma once
// Vector visibility of input not checked yet: the series (and positions) are
// validated, then the edges computed in parallel parts, with one weight per
// edge when a weight is asked for.

#include <expected>
#include <optional>
#include <vector>

#include "core/series/edge_list.hpp"
#include "core/series/input.hpp"
#include "core/vector_visibility/row_matrix.hpp"
#include "core/vector_visibility/weights.hpp"
#include "support/large_buffer.hpp"

namespace kaltrope::vector {

struct WeightedEdgeParts {
    std::vector<EdgeList> parts;
    memory::LargeBuffer<double> weights;  // in edge order across the parts; empty without a weight
};

std::expected<WeightedEdgeParts, InputError> checked_vector_edge_parts(bool horizontal, RowMatrix x,
                                                                       std::optional<Series> positions,
                                                                       std::optional<VectorWeight> weight);

}  // namespace kaltrope::vector
