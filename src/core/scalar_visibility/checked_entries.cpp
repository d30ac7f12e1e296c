#include "core/scalar_visibility/checked_entries.hpp"

#include "core/scalar_visibility/horizontal.hpp"
#include "core/scalar_visibility/limited_engines.hpp"
#include "core/scalar_visibility/natural.hpp"

namespace kaltrope {
namespace {

template <class Positions>
std::vector<EdgeList> natural_parts(Series y, Positions x, const EdgeOptions& options) {
    if (options.limits.plain()) return natural_edge_parts(y, x, options.algorithm);
    return limited_natural_parts(y, x, options.limits, true);
}

}  // namespace

std::expected<EdgeResult, InputError> checked_natural_edges(Series y, std::optional<Series> x,
                                                            const EdgeOptions& options) {
    if (auto valid = validate_series(y); !valid) return std::unexpected(valid.error());
    if (x) {
        if (auto valid = validate_positions(y, *x); !valid) return std::unexpected(valid.error());
    }
    std::vector<EdgeList> parts =
        x ? natural_parts(y, ExplicitPositions{x->data()}, options) : natural_parts(y, UniformPositions{}, options);
    return with_edge_values(std::move(parts), y, x.value_or(Series{}), options.direction, options.weight);
}

std::expected<EdgePairs, InputError> checked_natural_pairs(Series y, std::optional<Series> x,
                                                          const EdgeOptions& options) {
    if (auto valid = validate_series(y); !valid) return std::unexpected(valid.error());
    if (x) {
        if (auto valid = validate_positions(y, *x); !valid) return std::unexpected(valid.error());
        return natural_edge_pairs(y, ExplicitPositions{x->data()}, options.limits, options.direction,
                                  options.algorithm);
    }
    return natural_edge_pairs(y, UniformPositions{}, options.limits, options.direction, options.algorithm);
}

std::expected<Plan, InputError> checked_natural_plan(Series y) {
    if (auto valid = validate_series(y); !valid) return std::unexpected(valid.error());
    return plan_natural(y);
}

std::expected<EdgeResult, InputError> checked_horizontal_edges(Series y, const EdgeOptions& options) {
    if (auto valid = validate_series(y); !valid) return std::unexpected(valid.error());
    std::vector<EdgeList> parts =
        options.limits.plain() ? horizontal_edge_parts(y) : limited_horizontal_parts(y, options.limits, true);
    return with_edge_values(std::move(parts), y, Series{}, options.direction, options.weight);
}

std::expected<EdgePairs, InputError> checked_horizontal_pairs(Series y, const EdgeOptions& options) {
    if (auto valid = validate_series(y); !valid) return std::unexpected(valid.error());
    return horizontal_edge_pairs(y, options.limits, options.direction);
}

}  // namespace kaltrope
