#pragma once
// The visibility edges of a time series: the array engines run over the
// samples that have a finite value, placed at their timestamps when those can
// serve as x-coordinates. Missing, NaN and infinite samples neither see nor
// block anything.

#include <cstdint>
#include <span>
#include <vector>

#include "core/scalar_visibility/visibility_limits.hpp"
#include "core/series/edge_list.hpp"
#include "core/time_series/time_series.hpp"

namespace kaltrope {

enum class VisibilityKind { Natural, Horizontal };

// The samples that take part in visibility, in index order.
struct UsableSamples {
    std::vector<std::uint32_t> indices;  // the sample index of each usable sample
    std::vector<double> values;
    // Natural visibility only: the x-coordinate of each usable sample, or
    // empty when they are exactly 0, 1, ..., n - 1 for all n samples.
    std::vector<double> positions;

    // Whether every sample of the series is usable.
    bool complete(std::size_t sample_count) const { return indices.size() == sample_count; }
};

// The x-coordinates are the timestamps when those are finite and strictly
// increasing, else the sample indices. Needs fewer than 2^32 samples.
UsableSamples usable_samples(const TimeSeries& series, VisibilityKind kind);

// The same for plain values at positions 0, 1, ..., n - 1 (n < 2^32):
// the finite ones.
UsableSamples usable_samples(std::span<const double> values, VisibilityKind kind);

// The engine's edges between usable samples, numbered by their place in
// samples (0 ... |indices| - 1), as consecutive parts in the engine's order;
// a window counts sample indices, so the samples left out widen no pair.
std::vector<EdgeList> compute_edges_parallel(const UsableSamples& samples, VisibilityKind kind,
                                             const VisibilityLimits& limits = {});

// The same for finite values at the given strictly increasing positions, or
// at 0, 1, ... when positions is empty; indices as for SampleReach.
std::vector<EdgeList> compute_edges_parallel(std::span<const double> values, std::span<const double> positions,
                                             VisibilityKind kind, const VisibilityLimits& limits = {},
                                             std::span<const std::uint32_t> indices = {});

}  // namespace kaltrope
