#include "core/graph/visibility_graph_builder.hpp"

#include <algorithm>
#include <cmath>

#include "core/series/input.hpp"
#include "core/features/node_features.hpp"

namespace kaltrope {
namespace {

// The rows of the edges between usable samples, numbered by sample index.
Adjacency rows_of(UsableSamples usable, std::size_t sample_count, VisibilityKind kind, const VisibilityLimits& limits) {
    std::vector<EdgeList> parts = compute_edges_parallel(usable, kind, limits);
    // Memory is at its peak while the rows are built: only the indices are
    // needed from here on.
    std::vector<double>().swap(usable.values);
    std::vector<double>().swap(usable.positions);
    Adjacency adjacency = Adjacency::from_edges(usable.indices.size(), parts);
    std::vector<EdgeList>().swap(parts);
    if (usable.complete(sample_count)) return adjacency;
    return std::move(adjacency).spread(usable.indices, sample_count);
}

// The rows of finite values, read in place: no copy of them is made.
Adjacency rows_in_place(std::span<const double> values, VisibilityKind kind, const VisibilityLimits& limits) {
    const std::vector<EdgeList> parts = compute_edges_parallel(values, {}, kind, limits);
    return Adjacency::from_edges(values.size(), parts);
}

NodeSamples samples_of(const TimeSeries& series) {
    NodeSamples samples;
    samples.values.reserve(series.size());
    for (const Sample& value : series.values()) samples.values.push_back(value.value_or(std::nan("")));
    samples.timestamps.assign(series.timestamps().begin(), series.timestamps().end());
    return samples;
}

// Plain values sit at the positions 0, 1, ..., n - 1.
NodeSamples samples_of(std::span<const double> values) {
    NodeSamples samples{{values.begin(), values.end()}, std::vector<double>(values.size())};
    for (std::size_t i = 0; i < values.size(); ++i) samples.timestamps[i] = static_cast<double>(i);
    return samples;
}

}  // namespace

std::expected<VisibilityGraph, GraphError> VisibilityGraphBuilder::build(VisibilityKind kind,
                                                                         const VisibilityLimits& limits) && {
    const auto values = series_.values();
    // A present NaN counts as a value here, though it takes no part in visibility.
    if (std::ranges::none_of(values, [](const Sample& value) { return value.has_value(); })) {
        return std::unexpected(GraphError{GraphError::Kind::AllValuesMissing});
    }
    if (values.size() >= kMaxSamples) return std::unexpected(GraphError{GraphError::Kind::TooManySamples});

    Adjacency adjacency = rows_of(usable_samples(series_, kind), series_.size(), kind, limits);
    NodeFeatureTable node_features;
    if (feature_set_) node_features = compute_node_features_parallel(*feature_set_, values);
    feature_set_.reset();
    return VisibilityGraph(std::move(adjacency), std::move(node_features), samples_of(series_));
}

std::expected<VisibilityGraph, GraphError> visibility_graph_of_values(std::span<const double> values,
                                                                      VisibilityKind kind,
                                                                      const VisibilityLimits& limits) {
    if (values.size() >= kMaxSamples) return std::unexpected(GraphError{GraphError::Kind::TooManySamples});
    // The samples are copied once the rows are built and the edges released,
    // so that the copy does not add to the peak.
    Adjacency adjacency = std::ranges::all_of(values, is_finite) ? rows_in_place(values, kind, limits)
                                                                  : rows_of(usable_samples(values, kind), values.size(),
                                                                            kind, limits);
    return VisibilityGraph(std::move(adjacency), NodeFeatureTable(), samples_of(values));
}

}  // namespace kaltrope
