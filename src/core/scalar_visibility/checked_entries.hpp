#pragma once
// The scalar engines for input not checked yet: each validates the series
// (and the positions) before any edge is computed, and reports the first
// problem instead of a result.

#include <expected>
#include <optional>
#include <vector>

#include "core/scalar_visibility/edge_values.hpp"
#include "core/scalar_visibility/engine_choice.hpp"
#include "core/scalar_visibility/ordered_pairs.hpp"
#include "core/scalar_visibility/visibility_limits.hpp"
#include "core/series/edge_list.hpp"
#include "core/series/input.hpp"

namespace kaltrope {

// What an array function asks of the engines beyond the series.
struct EdgeOptions {
    Algorithm algorithm = Algorithm::Auto;  // the natural engine of the plain graph
    VisibilityLimits limits;
    EdgeDirection direction = EdgeDirection::LeftToRight;
    std::optional<EdgeWeight> weight;
};

// The natural edges as consecutive parts: the plain engines' (natural_edge_parts)
// without limits, else the limited engine's, in the same order.
std::expected<EdgeResult, InputError> checked_natural_edges(Series y, std::optional<Series> x,
                                                            const EdgeOptions& options);

// The natural edges without a weight, in options' limits and direction,
// written once as int64 pairs: natural_edge_pairs.
std::expected<EdgePairs, InputError> checked_natural_pairs(Series y, std::optional<Series> x,
                                                          const EdgeOptions& options);

// What the natural engine would do with y under Auto.
std::expected<Plan, InputError> checked_natural_plan(Series y);

std::expected<EdgeResult, InputError> checked_horizontal_edges(Series y, const EdgeOptions& options);

// The horizontal edges without a weight, in options' limits and direction,
// written once as int64 pairs: horizontal_edge_pairs.
std::expected<EdgePairs, InputError> checked_horizontal_pairs(Series y, const EdgeOptions& options);

}  // namespace kaltrope
