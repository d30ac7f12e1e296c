#include "core/scalar_visibility/degree_entries.hpp"

#include "core/scalar_visibility/limited_engines.hpp"
#include "support/worker_pool.hpp"

namespace kaltrope {
namespace {

// Validates the rows, then the positions shared by every row, if any.
template <class RowDegrees>
std::expected<Degrees, InputError> degree_rows(std::span<const Series> rows, std::optional<Series> x,
                                               RowDegrees row_degrees) {
    if (auto valid = validate_rows(rows); !valid) return std::unexpected(valid.error());
    if (x && !rows.empty()) {
        if (auto valid = validate_positions(rows[0], *x); !valid) return std::unexpected(valid.error());
    }
    const std::size_t n = rows.empty() ? 0 : rows[0].size();
    Degrees degrees = memory::allocate_large_buffer<std::int64_t>(rows.size() * n);
    parallel::for_each_index(rows.size(), [&](std::size_t k) { row_degrees(rows[k], degrees.get() + k * n); });
    return degrees;
}

}  // namespace

std::expected<Degrees, InputError> checked_natural_degrees(Series y, std::optional<Series> x,
                                                           const VisibilityLimits& limits) {
    if (auto valid = validate_series(y); !valid) return std::unexpected(valid.error());
    if (x) {
        if (auto valid = validate_positions(y, *x); !valid) return std::unexpected(valid.error());
    }
    Degrees degrees = memory::allocate_large_buffer<std::int64_t>(y.size());
    if (x) {
        limited_natural_degrees(y, ExplicitPositions{x->data()}, limits, true, degrees.get());
    } else {
        limited_natural_degrees(y, UniformPositions{}, limits, true, degrees.get());
    }
    return degrees;
}

std::expected<Degrees, InputError> checked_horizontal_degrees(Series y, const VisibilityLimits& limits) {
    if (auto valid = validate_series(y); !valid) return std::unexpected(valid.error());
    Degrees degrees = memory::allocate_large_buffer<std::int64_t>(y.size());
    limited_horizontal_degrees(y, limits, true, degrees.get());
    return degrees;
}

std::expected<Degrees, InputError> natural_degree_rows(std::span<const Series> rows, std::optional<Series> x,
                                                       const VisibilityLimits& limits) {
    return degree_rows(rows, x, [&](Series row, std::int64_t* out) {
        if (x) {
            limited_natural_degrees(row, ExplicitPositions{x->data()}, limits, false, out);
        } else {
            limited_natural_degrees(row, UniformPositions{}, limits, false, out);
        }
    });
}

std::expected<Degrees, InputError> horizontal_degree_rows(std::span<const Series> rows,
                                                          const VisibilityLimits& limits) {
    return degree_rows(rows, std::nullopt,
                       [&](Series row, std::int64_t* out) { limited_horizontal_degrees(row, limits, false, out); });
}

}  // namespace kaltrope
