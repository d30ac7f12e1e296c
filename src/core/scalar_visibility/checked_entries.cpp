#include "core/scalar_visibility/checked_entries.hpp"

#include "core/scalar_visibility/horizontal.hpp"
#include "core/scalar_visibility/natural.hpp"

namespace kaltrope {

std::expected<std::vector<EdgeList>, InputError> checked_natural_edge_parts(Series y, std::optional<Series> x,
                                                                            Algorithm algorithm) {
    if (auto valid = validate_series(y); !valid) return std::unexpected(valid.error());
    if (!x) return natural_edge_parts(y, UniformPositions{}, algorithm);
    if (auto valid = validate_positions(y, *x); !valid) return std::unexpected(valid.error());
    return natural_edge_parts(y, ExplicitPositions{x->data()}, algorithm);
}

std::expected<Plan, InputError> checked_natural_plan(Series y) {
    if (auto valid = validate_series(y); !valid) return std::unexpected(valid.error());
    return plan_natural(y);
}

std::expected<std::vector<EdgeList>, InputError> checked_horizontal_edge_parts(Series y) {
    if (auto valid = validate_series(y); !valid) return std::unexpected(valid.error());
    return horizontal_edge_parts(y);
}

}  // namespace kaltrope
