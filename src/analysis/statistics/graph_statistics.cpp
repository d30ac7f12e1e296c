#include "analysis/statistics/graph_statistics.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analysis/community/communities.hpp"
#include "analysis/metrics/clustering.hpp"
#include "analysis/metrics/connectivity.hpp"
#include "analysis/metrics/paths.hpp"
#include "analysis/statistics/degree_statistics.hpp"

namespace kaltrope {
namespace {

std::string yes_no(bool value) { return value ? "true" : "false"; }

}  // namespace

std::string fixed_point(double value, int digits) {
    if (std::isnan(value)) return "NaN";
    char text[400];  // room for the largest double written out in full
    std::snprintf(text, sizeof text, "%.*f", digits, value);
    return text;
}

GraphStatistics compute_statistics(const VisibilityGraph& graph) {
    const Adjacency& adjacency = graph.adjacency();
    const std::size_t n = adjacency.node_count();
    GraphStatistics statistics;
    statistics.node_count = n;
    statistics.edge_count = adjacency.edge_count();
    statistics.is_directed = graph.is_directed();
    if (n != 0) {
        statistics.average_degree = static_cast<double>(2 * adjacency.edge_count()) / static_cast<double>(n);
        statistics.min_degree = statistics.max_degree = adjacency.degree(0);
        for (std::size_t v = 1; v < n; ++v) {
            statistics.min_degree = std::min(statistics.min_degree, adjacency.degree(v));
            statistics.max_degree = std::max(statistics.max_degree, adjacency.degree(v));
        }
    }
    statistics.feature_count = graph.feature_count();
    statistics.degree_variance = degree_variance(graph);
    statistics.degree_std_dev = std::sqrt(statistics.degree_variance);
    const ClusteringSummary clustering = clustering_summary(graph);
    statistics.average_clustering = clustering.average;
    statistics.global_clustering = clustering.global;
    const PathSummary paths = path_summary(graph);
    statistics.average_path_length = paths.average_path_length;
    statistics.diameter = paths.diameter;
    statistics.radius = paths.radius;
    statistics.density = density(graph);
    const Components parts = components(graph);
    statistics.is_connected = parts.connected();
    statistics.num_components = parts.count;
    statistics.largest_component_size = parts.largest;
    statistics.assortativity = assortativity(graph);
    const Communities& communities = detected_communities(graph);
    statistics.community_count = communities.count;
    statistics.modularity = communities.modularity;
    return statistics;
}

std::string summary_text(const GraphStatistics& s) {
    const std::string rule = [] {
        std::string line;
        for (int k = 0; k < 40; ++k) line += "\u2550";
        return line;
    }();
    std::string text;
    const auto line = [&](const std::string& content) { text += content + "\n"; };
    // Labels are padded to 17 characters, the value follows directly.
    const auto field = [&](const char* label, const std::string& value) {
        std::string padded = std::string("  ") + label + ":";
        padded.resize(17, ' ');
        line(padded + value);
    };
    line("\u2554" + rule + "\u2557");
    line("\u2551      Graph Statistics Summary          \u2551");
    line("\u255a" + rule + "\u255d");
    line("");
    line("\U0001F4CA Structure:");
    field("Nodes", std::to_string(s.node_count));
    field("Edges", std::to_string(s.edge_count));
    field("Directed", yes_no(s.is_directed));
    field("Connected", yes_no(s.is_connected));
    field("Components", std::to_string(s.num_components));
    field("Largest comp", std::to_string(s.largest_component_size));
    line("");
    line("\U0001F4C8 Degree Distribution:");
    field("Average", fixed_point(s.average_degree, 2));
    field("Std Dev", fixed_point(s.degree_std_dev, 2));
    field("Variance", fixed_point(s.degree_variance, 2));
    field("Min", std::to_string(s.min_degree));
    field("Max", std::to_string(s.max_degree));
    line("");
    line("\U0001F517 Clustering:");
    field("Average", fixed_point(s.average_clustering, 4));
    field("Global", fixed_point(s.global_clustering, 4));
    line("");
    line("\U0001F4CF Distance Metrics:");
    field("Avg Path Len", fixed_point(s.average_path_length, 2));
    field("Diameter", std::to_string(s.diameter));
    field("Radius", std::to_string(s.radius));
    line("");
    line("\U0001F3AF Network Properties:");
    field("Density", fixed_point(s.density, 4));
    field("Assortativity", fixed_point(s.assortativity, 4));
    field("Communities", std::to_string(s.community_count));
    field("Modularity", fixed_point(s.modularity, 4));
    line("");
    if (s.feature_count != 0) {
        line("\u2728 Features:");
        field("Per node", std::to_string(s.feature_count));
    }
    return text;
}

}  // namespace kaltrope
