#pragma once
// The scalar engines for input not checked yet: each validates the series
// (and the positions) before any edge is computed, and reports the first
// problem instead of a result.

#include <expected>
#include <optional>
#include <vector>

#include "core/scalar_visibility/engine_choice.hpp"
#include "core/series/edge_list.hpp"
#include "core/series/input.hpp"

namespace kaltrope {

// The natural edges, as the consecutive parts of natural_edge_parts.
std::expected<std::vector<EdgeList>, InputError> checked_natural_edge_parts(Series y, std::optional<Series> x,
                                                                            Algorithm algorithm);

// What the natural engine would do with y under Auto.
std::expected<Plan, InputError> checked_natural_plan(Series y);

// The horizontal edges, as the consecutive parts of horizontal_edge_parts.
std::expected<std::vector<EdgeList>, InputError> checked_horizontal_edge_parts(Series y);

}  // namespace kaltrope
