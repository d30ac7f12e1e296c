#pragma once
// A visibility graph: one node per sample of a series, an undirected edge of
// weight 1.0 between every two samples that see each other, and optionally
// the node features of the series. Never changed once built.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "core/features/node_feature_table.hpp"
#include "core/graph/adjacency.hpp"
#include "core/graph/edge_index.hpp"
#include "core/graph/result_cache.hpp"

namespace kaltrope {

// The samples behind the nodes, one entry per node: the value (NaN where the
// sample is missing) and the timestamp. Both are empty for a graph made
// without them.
struct NodeSamples {
    std::vector<double> values;
    std::vector<double> timestamps;
};

class VisibilityGraph {
public:
    // Visibility is a yes-or-no relation, so every edge weighs the same.
    static constexpr double kEdgeWeight = 1.0;

    // node_features is empty (NodeFeatureTable()) for a graph without features.
    VisibilityGraph(Adjacency adjacency, NodeFeatureTable node_features, NodeSamples samples = {});

    std::size_t node_count() const { return adjacency_.node_count(); }
    std::size_t edge_count() const { return adjacency_.edge_count(); }
    bool is_directed() const { return false; }
    const Adjacency& adjacency() const { return adjacency_; }

    // A feature table with one row per node, or none at all.
    bool has_features() const { return node_features_.node_count() != 0; }
    const NodeFeatureTable& node_features() const { return node_features_; }
    // Features per node: the number with a value at node 0; 0 without features.
    std::size_t feature_count() const { return has_features() ? node_features_.value_count(0) : 0; }

    const NodeSamples& samples() const { return samples_; }

    // Either order of a and b; false for nodes out of range.
    bool has_edge(std::size_t a, std::size_t b) const;
    // Ascending; empty for a node out of range.
    std::span<const std::uint32_t> neighbor_indices(std::size_t node) const;
    // Nothing for a node out of range.
    std::optional<std::size_t> degree(std::size_t node) const;
    // The weight of each edge at node, in neighbour order.
    std::optional<std::vector<double>> neighbors(std::size_t node) const;
    // Writes the weight of edge (a, b) at row a, column b and row b, column a
    // of a zeroed row-major node_count x node_count matrix.
    void fill_adjacency_matrix(std::span<double> matrix) const;

    // Measures of the graph kept with it once computed; the graph never
    // changes, so they never go stale.
    const ResultCache& results() const { return *results_; }

private:
    // Built on the first lookup: most graphs are only traversed, and building
    // it with the graph would add a third to the construction time.
    struct LazyEdgeIndex {
        std::once_flag built;
        std::optional<EdgeIndex> index;
    };

    Adjacency adjacency_;
    NodeFeatureTable node_features_;
    NodeSamples samples_;
    std::unique_ptr<LazyEdgeIndex> edge_index_ = std::make_unique<LazyEdgeIndex>();
    std::unique_ptr<ResultCache> results_ = std::make_unique<ResultCache>();
};

}  // namespace kaltrope
