#include "analysis/statistics/degree_statistics.hpp"

#include <cmath>
#include <cstdint>

#include "analysis/metrics/degree_distribution.hpp"

namespace kaltrope {

double degree_variance(const VisibilityGraph& graph) {
    const Adjacency& adjacency = graph.adjacency();
    const std::size_t n = adjacency.node_count();
    if (n == 0) return 0.0;
    // Every edge adds to two degrees.
    const double mean = static_cast<double>(2 * adjacency.edge_count()) / static_cast<double>(n);
    double squares = 0.0;
    for (std::size_t v = 0; v < n; ++v) {
        const double deviation = static_cast<double>(adjacency.degree(v)) - mean;
        squares += deviation * deviation;
    }
    return squares / static_cast<double>(n);
}

double degree_std_dev(const VisibilityGraph& graph) { return std::sqrt(degree_variance(graph)); }

double degree_entropy(const VisibilityGraph& graph) {
    const std::size_t n = graph.node_count();
    if (n == 0) return 0.0;
    double entropy = -0.0;
    for (const auto& [degree, count] : degree_distribution(graph)) {
        const double share = static_cast<double>(count) / static_cast<double>(n);
        entropy += -share * std::log2(share);
    }
    return entropy;
}

double density(const VisibilityGraph& graph) {
    const std::size_t n = graph.node_count();
    if (n < 2) return 0.0;
    return static_cast<double>(graph.edge_count()) / static_cast<double>(n * (n - 1) / 2);
}

double assortativity(const VisibilityGraph& graph) {
    const Adjacency& adjacency = graph.adjacency();
    const std::size_t edges = adjacency.edge_count();
    if (edges == 0) return 0.0;
    double sum = 0.0;
    double products = 0.0;
    double squares = 0.0;
    adjacency.for_each_edge([&](std::size_t a, std::size_t b) {
        const auto x = static_cast<double>(adjacency.degree(a));
        const auto y = static_cast<double>(adjacency.degree(b));
        sum += x + y;
        products += x * y;
        squares += x * x + y * y;
    });
    const auto m = static_cast<double>(edges);
    const double mean = sum / (2 * m);
    const double covariance = products / m - mean * mean;
    const double variance = squares / (2 * m) - mean * mean;
    return std::abs(variance) < 1e-10 ? 0.0 : covariance / variance;
}

}  // namespace kaltrope
