#pragma once
// Every summary measure of a graph in one record, and its boxed text form.

#include <cstddef>
#include <string>

#include "core/graph/visibility_graph.hpp"

namespace kaltrope {

struct GraphStatistics {
    std::size_t node_count = 0;
    std::size_t edge_count = 0;
    bool is_directed = false;
    double average_degree = 0.0;
    std::size_t min_degree = 0;
    std::size_t max_degree = 0;
    double degree_std_dev = 0.0;
    double degree_variance = 0.0;
    double average_clustering = 0.0;
    double global_clustering = 0.0;
    double average_path_length = 0.0;
    std::size_t diameter = 0;
    std::size_t radius = 0;
    double density = 0.0;
    bool is_connected = true;
    std::size_t num_components = 0;
    std::size_t largest_component_size = 0;
    double assortativity = 0.0;
    // Features per node (those of node 0); 0 without node features.
    std::size_t feature_count = 0;
    // The communities of detect_communities() with its default options.
    std::size_t community_count = 0;
    double modularity = 0.0;
};

// The all-pairs searches run on the worker pool; the path measures and the
// communities come from the results kept with the graph.
GraphStatistics compute_statistics(const VisibilityGraph& graph);

// The multi-line summary, every line ending in a line feed; the Features
// section only when feature_count is not 0.
std::string summary_text(const GraphStatistics& statistics);

// value written in fixed point with digits after the point, correctly
// rounded; NaN as "NaN". The number form of the summary text.
std::string fixed_point(double value, int digits);

}  // namespace kaltrope
