#include "core/graph/visibility_graph.hpp"

#include <algorithm>

namespace kaltrope {

VisibilityGraph::VisibilityGraph(Adjacency adjacency, NodeFeatureTable node_features, NodeSamples samples)
    : adjacency_(std::move(adjacency)), node_features_(std::move(node_features)), samples_(std::move(samples)) {}

bool VisibilityGraph::has_edge(std::size_t a, std::size_t b) const {
    if (a == b || a >= node_count() || b >= node_count()) return false;
    std::call_once(edge_index_->built, [this] { edge_index_->index.emplace(adjacency_); });
    const auto [low, high] = std::minmax(a, b);
    return edge_index_->index->contains(static_cast<std::uint32_t>(low), static_cast<std::uint32_t>(high));
}

std::span<const std::uint32_t> VisibilityGraph::neighbor_indices(std::size_t node) const {
    if (node >= node_count()) return {};
    return adjacency_.neighbors(node);
}

std::optional<std::size_t> VisibilityGraph::degree(std::size_t node) const {
    if (node >= node_count()) return std::nullopt;
    return adjacency_.degree(node);
}

std::optional<std::vector<double>> VisibilityGraph::neighbors(std::size_t node) const {
    if (node >= node_count()) return std::nullopt;
    return std::vector<double>(adjacency_.degree(node), kEdgeWeight);
}

void VisibilityGraph::fill_adjacency_matrix(std::span<double> matrix) const {
    const std::size_t n = node_count();
    adjacency_.for_each_edge([&](std::size_t a, std::size_t b) {
        matrix[a * n + b] = kEdgeWeight;
        matrix[b * n + a] = kEdgeWeight;
    });
}

}  // namespace kaltrope
