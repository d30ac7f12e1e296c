#include "core/graph/time_series_edges.hpp"

#include <algorithm>

#include "core/scalar_visibility/horizontal.hpp"
#include "core/scalar_visibility/limited_engines.hpp"
#include "core/series/input.hpp"
#include "core/scalar_visibility/natural.hpp"

namespace kaltrope {
namespace {

bool strictly_increasing_and_finite(std::span<const double> timestamps) {
    for (std::size_t i = 0; i < timestamps.size(); ++i) {
        if (!is_finite(timestamps[i])) return false;
        if (i > 0 && !(timestamps[i - 1] < timestamps[i])) return false;
    }
    return true;
}

bool are_indices(std::span<const double> timestamps) {
    for (std::size_t i = 0; i < timestamps.size(); ++i) {
        if (timestamps[i] != static_cast<double>(i)) return false;
    }
    return true;
}

}  // namespace

UsableSamples usable_samples(const TimeSeries& series, VisibilityKind kind) {
    const auto values = series.values();
    UsableSamples usable;
    usable.indices.reserve(values.size());
    usable.values.reserve(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (values[i] && is_finite(*values[i])) {
            usable.indices.push_back(static_cast<std::uint32_t>(i));
            usable.values.push_back(*values[i]);
        }
    }
    if (kind == VisibilityKind::Horizontal) return usable;

    const auto timestamps = series.timestamps();
    const bool timed = strictly_increasing_and_finite(timestamps);
    if (usable.complete(values.size()) && (!timed || are_indices(timestamps))) return usable;
    usable.positions.reserve(usable.indices.size());
    for (const std::uint32_t i : usable.indices) {
        usable.positions.push_back(timed ? timestamps[i] : static_cast<double>(i));
    }
    return usable;
}

UsableSamples usable_samples(std::span<const double> values, VisibilityKind kind) {
    UsableSamples usable;
    const auto count = static_cast<std::size_t>(std::ranges::count_if(values, is_finite));
    usable.indices.reserve(count);
    usable.values.reserve(count);
    if (kind == VisibilityKind::Natural) usable.positions.reserve(count);
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!is_finite(values[i])) continue;
        usable.indices.push_back(static_cast<std::uint32_t>(i));
        usable.values.push_back(values[i]);
        if (kind == VisibilityKind::Natural) usable.positions.push_back(static_cast<double>(i));
    }
    if (usable.complete(values.size())) usable.positions.clear();
    return usable;
}

std::vector<EdgeList> compute_edges_parallel(const UsableSamples& samples, VisibilityKind kind,
                                             const VisibilityLimits& limits) {
    const bool own_indices = samples.indices.size() == 0 || samples.indices.back() + 1 == samples.indices.size();
    return compute_edges_parallel(samples.values, samples.positions, kind, limits,
                                  own_indices ? std::span<const std::uint32_t>() : samples.indices);
}

std::vector<EdgeList> compute_edges_parallel(std::span<const double> values, std::span<const double> positions,
                                             VisibilityKind kind, const VisibilityLimits& limits,
                                             std::span<const std::uint32_t> indices) {
    // The values are finite and the positions finite and strictly increasing
    // by construction, so the engines' validation has nothing to refuse.
    const Series y(values);
    if (!limits.plain()) {
        if (kind == VisibilityKind::Horizontal) return limited_horizontal_parts(y, limits, true, indices);
        if (positions.empty()) return limited_natural_parts(y, UniformPositions{}, limits, true, indices);
        return limited_natural_parts(y, ExplicitPositions{positions.data()}, limits, true, indices);
    }
    if (kind == VisibilityKind::Horizontal) return horizontal_edge_parts(y);
    if (positions.empty()) return natural_edge_parts(y, UniformPositions{}, Algorithm::Auto);
    return natural_edge_parts(y, ExplicitPositions{positions.data()}, Algorithm::Auto);
}

}  // namespace kaltrope
