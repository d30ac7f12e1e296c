#include "core/scalar_visibility/degree_entries.hpp"

#include <algorithm>
#include <vector>

#include "core/scalar_visibility/degree_sweep.hpp"
#include "core/scalar_visibility/horizontal.hpp"
#include "core/scalar_visibility/limited_horizontal_scan.hpp"
#include "core/scalar_visibility/limited_natural_scan.hpp"
#include "core/scalar_visibility/natural_sample_engine.hpp"
#include "core/scalar_visibility/reach_scan.hpp"
#include "core/scalar_visibility/sample_parts.hpp"
#include "support/worker_pool.hpp"

namespace kaltrope {
namespace {

template <class Positions>
void natural_degrees(Series y, Positions x, const VisibilityLimits& limits, bool parallel, std::int64_t* degrees) {
    if (y.size() < 2) {
        std::fill_n(degrees, y.size(), 0);
        return;
    }
    if (limits.penetrable == 0) {
        const bool whole_reach = !limits.window || *limits.window >= y.size() - 1;
        if (whole_reach && sweep_natural_degrees(y, x, parallel, degrees)) return;
        if (scans_over_reach(y, x, limits.window, Algorithm::Auto)) {
            const SampleReach reach(limits.window, y.size());
            degrees_by_sample(y.size(), ReachScan(y, reach), degrees, parallel);
            return;
        }
        // Beside the degrees, little memory: the windows are found again
        // chunk by chunk rather than kept whole, and the hull tree keeps its
        // vertices as indices. It is built before the degrees are first
        // written, as it needs more memory while it is built than it keeps.
        const ChunkedWindows windows(y, limits.window);
        const NaturalSampleEngine<Positions, VertexStorage::Indices> engine(y, x, Algorithm::Auto, windows.scan_work());
        degrees_by_sample(y.size(), SampleEngineScan{&engine, WindowCursor(&windows)}, degrees, parallel);
        return;
    }
    const SampleReach reach(limits.window, y.size());
    degrees_by_sample(y.size(), LimitedNaturalScan(y, x, limits.penetrable, reach), degrees, parallel);
}

void horizontal_degrees(Series y, const VisibilityLimits& limits, bool parallel, std::int64_t* degrees) {
    if (limits.penetrable == 0) {
        kaltrope::horizontal_degrees(y, limits.window, parallel, degrees);
        return;
    }
    if (y.size() < 2) {
        std::fill_n(degrees, y.size(), 0);
        return;
    }
    const SampleReach reach(limits.window, y.size());
    const std::vector<std::uint32_t> previous = previous_higher(y);
    degrees_by_sample(y.size(), LimitedHorizontalScan(y, previous, limits.penetrable, reach), degrees, parallel);
}

// Validates the rows, then the positions shared by every row, if any.
template <class RowDegrees>
std::expected<Degrees, InputError> degree_rows(std::span<const Series> rows, std::size_t length,
                                               std::optional<Series> x, RowDegrees row_degrees) {
    if (auto valid = validate_rows(rows); !valid) return std::unexpected(valid.error());
    if (x) {
        if (auto valid = validate_positions(length, *x); !valid) return std::unexpected(valid.error());
    }
    Degrees degrees = memory::allocate_large_buffer<std::int64_t>(rows.size() * length);
    parallel::for_each_index(rows.size(), [&](std::size_t k) { row_degrees(rows[k], degrees.get() + k * length); });
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
        natural_degrees(y, ExplicitPositions{x->data()}, limits, true, degrees.get());
    } else {
        natural_degrees(y, UniformPositions{}, limits, true, degrees.get());
    }
    return degrees;
}

std::expected<Degrees, InputError> checked_horizontal_degrees(Series y, const VisibilityLimits& limits) {
    if (auto valid = validate_series(y); !valid) return std::unexpected(valid.error());
    Degrees degrees = memory::allocate_large_buffer<std::int64_t>(y.size());
    horizontal_degrees(y, limits, true, degrees.get());
    return degrees;
}

std::expected<Degrees, InputError> natural_degree_rows(std::span<const Series> rows, std::size_t length,
                                                       std::optional<Series> x, const VisibilityLimits& limits) {
    return degree_rows(rows, length, x, [&](Series row, std::int64_t* out) {
        if (x) {
            natural_degrees(row, ExplicitPositions{x->data()}, limits, false, out);
        } else {
            natural_degrees(row, UniformPositions{}, limits, false, out);
        }
    });
}

std::expected<Degrees, InputError> horizontal_degree_rows(std::span<const Series> rows,
                                                          const VisibilityLimits& limits) {
    return degree_rows(rows, rows.empty() ? 0 : rows[0].size(), std::nullopt,
                       [&](Series row, std::int64_t* out) { horizontal_degrees(row, limits, false, out); });
}

}  // namespace kaltrope
