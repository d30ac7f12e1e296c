#include "analysis/metrics/degree_distribution.hpp"

namespace kaltrope {

std::vector<std::pair<std::size_t, std::size_t>> degree_distribution(const VisibilityGraph& graph) {
    const Adjacency& adjacency = graph.adjacency();
    std::vector<std::size_t> nodes_of_degree;
    for (std::size_t v = 0; v < adjacency.node_count(); ++v) {
        const std::size_t degree = adjacency.degree(v);
        if (degree >= nodes_of_degree.size()) nodes_of_degree.resize(degree + 1, 0);
        ++nodes_of_degree[degree];
    }
    std::vector<std::pair<std::size_t, std::size_t>> distribution;
    for (std::size_t degree = 0; degree < nodes_of_degree.size(); ++degree) {
        if (nodes_of_degree[degree] != 0) distribution.emplace_back(degree, nodes_of_degree[degree]);
    }
    return distribution;
}

std::vector<double> degree_centrality(const VisibilityGraph& graph) {
    const std::size_t n = graph.node_count();
    std::vector<double> centrality(n, 0.0);
    if (n < 2) return centrality;
    const auto others = static_cast<double>(n - 1);
    for (std::size_t v = 0; v < n; ++v) centrality[v] = static_cast<double>(graph.adjacency().degree(v)) / others;
    return centrality;
}

}  // namespace kaltrope
