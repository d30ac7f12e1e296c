#pragma once
// The methods of the VisibilityGraph class, by the file that defines them;
// the class's method table lists them in its own order.

#include <cstddef>
#include <optional>

#include "bindings/common/python.hpp"

namespace kaltrope::python {

// visibility_graph_queries.cpp: the graph's structure.
extern const PyMethodDef node_count_method, edge_count_method, degree_sequence_method, edges_method,
    adjacency_matrix_method, neighbors_method, has_edge_method, neighbor_indices_method, degree_method,
    is_directed_method;

// visibility_graph_metrics.cpp: measures computed from the structure.
extern const PyMethodDef density_method, clustering_coefficient_method, diameter_method,
    betweenness_centrality_method, shortest_path_length_method, average_path_length_method, radius_method,
    is_connected_method, count_components_method, largest_component_size_method, assortativity_method,
    degree_variance_method, degree_std_dev_method, degree_distribution_method, degree_entropy_method,
    node_clustering_coefficient_method, global_clustering_coefficient_method, betweenness_centrality_all_method,
    degree_centrality_method, compute_statistics_method;

// visibility_graph_features.cpp: the node feature table.
extern const PyMethodDef get_node_feature_names_method, get_node_features_method, get_all_features_method,
    has_features_method, feature_count_method, node_features_method;

// visibility_graph_patterns.cpp: communities and three-node motifs.
extern const PyMethodDef detect_communities_method, detect_motifs_method;

// visibility_graph_exports.cpp: the graph as text and files.
extern const PyMethodDef to_json_method, to_edge_list_csv_method, to_adjacency_csv_method, to_features_csv_method,
    to_dot_method, to_graphml_method, save_edge_list_csv_method, save_adjacency_csv_method, save_dot_method,
    save_graphml_method;

// The node argument of a method taking one, named keyword; nothing with the
// error set.
std::optional<std::size_t> node_argument(PyObject* args, PyObject* kwargs, const char* format, const char* keyword);

// The two node arguments of a method taking a pair, named first and second.
struct NodePair {
    std::size_t first;
    std::size_t second;
};
std::optional<NodePair> node_pair_arguments(PyObject* args, PyObject* kwargs, const char* format, const char* first,
                                            const char* second);

}  // namespace kaltrope::python
