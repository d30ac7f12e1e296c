#pragma once
// Builds the natural or horizontal visibility graph of a time series, with
// the node features of a feature set when one is given.

#include <expected>
#include <optional>
#include <span>

#include "core/graph/time_series_edges.hpp"
#include "core/features/feature_set.hpp"
#include "core/time_series/time_series.hpp"
#include "core/graph/graph_error.hpp"
#include "core/graph/visibility_graph.hpp"

namespace kaltrope {

class VisibilityGraphBuilder {
public:
    // series must outlive the builder.
    explicit VisibilityGraphBuilder(const TimeSeries& series, std::optional<FeatureSet> feature_set = std::nullopt)
        : series_(series), feature_set_(std::move(feature_set)) {}

    // One node per sample, missing and non-finite ones included (isolated).
    // Consumes the builder and its feature set.
    std::expected<VisibilityGraph, GraphError> build(VisibilityKind kind, const VisibilityLimits& limits = {}) &&;

private:
    const TimeSeries& series_;
    std::optional<FeatureSet> feature_set_;
};

// The graph of plain values at positions 0, 1, ..., n - 1, without features:
// the graph of TimeSeries::from_raw(values), built without that copy of the
// values. values is not empty.
std::expected<VisibilityGraph, GraphError> visibility_graph_of_values(std::span<const double> values,
                                                                      VisibilityKind kind,
                                                                      const VisibilityLimits& limits = {});

}  // namespace kaltrope
