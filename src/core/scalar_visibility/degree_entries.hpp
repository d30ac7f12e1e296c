#pragma once
// The degree of every sample, without the edge list: each sample's edges are
// counted as its scan finds them and dropped, so the memory beyond the input
// is the degrees themselves and one sample's edges per thread. The series
// (and positions) are validated first, as for the edges.

#include <cstdint>
#include <expected>
#include <optional>
#include <span>

#include "core/scalar_visibility/visibility_limits.hpp"
#include "core/series/input.hpp"
#include "support/large_buffer.hpp"

namespace kaltrope {

using Degrees = memory::LargeBuffer<std::int64_t>;

// One series, in parallel when it is long.
std::expected<Degrees, InputError> checked_natural_degrees(Series y, std::optional<Series> x,
                                                           const VisibilityLimits& limits);
std::expected<Degrees, InputError> checked_horizontal_degrees(Series y, const VisibilityLimits& limits);

// Rows of `length` samples each, row after row (B * length values), each
// row by one worker; natural rows all at the positions x (default 0, 1,
// ...), which are checked against length even when there are no rows.
std::expected<Degrees, InputError> natural_degree_rows(std::span<const Series> rows, std::size_t length,
                                                       std::optional<Series> x, const VisibilityLimits& limits);
std::expected<Degrees, InputError> horizontal_degree_rows(std::span<const Series> rows, const VisibilityLimits& limits);

}  // namespace kaltrope
