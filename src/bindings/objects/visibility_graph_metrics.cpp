// VisibilityGraph methods that measure the graph. Those that traverse it run
// without the interpreter lock, so that other threads go on meanwhile.

#include <optional>

#include "analysis/metrics/betweenness.hpp"
#include "analysis/metrics/clustering.hpp"
#include "analysis/metrics/connectivity.hpp"
#include "analysis/metrics/degree_distribution.hpp"
#include "analysis/metrics/paths.hpp"
#include "analysis/statistics/degree_statistics.hpp"
#include "analysis/statistics/graph_statistics.hpp"
#include "bindings/common/class_support.hpp"
#include "bindings/common/method_table.hpp"
#include "bindings/objects/graph_statistics_object.hpp"
#include "bindings/common/errors.hpp"
#include "bindings/common/result_conversion.hpp"
#include "bindings/objects/visibility_graph_methods.hpp"
#include "bindings/objects/visibility_graph_object.hpp"

namespace kaltrope::bindings {
namespace {

// A method without arguments returning compute(graph).
template <auto compute>
PyObject* measure(PyObject* self, PyObject*) {
    return guarded([&] {
        const VisibilityGraph& graph = graph_of(self);
        return to_python(without_lock([&] { return compute(graph); }));
    });
}

std::size_t diameter_of(const VisibilityGraph& graph) { return radius_and_diameter(graph).diameter; }
std::size_t radius_of(const VisibilityGraph& graph) { return radius_and_diameter(graph).radius; }
double average_path_length_of(const VisibilityGraph& graph) { return path_summary(graph).average_path_length; }
double average_clustering_of(const VisibilityGraph& graph) { return clustering_summary(graph).average; }
bool is_connected_of(const VisibilityGraph& graph) { return components(graph).connected(); }
std::size_t component_count_of(const VisibilityGraph& graph) { return components(graph).count; }
std::size_t largest_component_of(const VisibilityGraph& graph) { return components(graph).largest; }

PyObject* betweenness_centrality_all_list(PyObject* self, PyObject*) {
    return guarded([&] {
        const VisibilityGraph& graph = graph_of(self);
        return to_python_list(without_lock([&] { return betweenness_centrality_all(graph); }));
    });
}

PyObject* degree_centrality_list(PyObject* self, PyObject*) {
    return guarded([&] { return to_python_list(degree_centrality(graph_of(self))); });
}

PyObject* degree_distribution_dict(PyObject* self, PyObject*) {
    return guarded([&]() -> PyObject* {
        PyRef dict = PyRef::steal(PyDict_New());
        if (!dict) return nullptr;
        for (const auto& [degree, count] : degree_distribution(graph_of(self))) {
            PyRef key = PyRef::steal(to_python(degree));
            PyRef value = PyRef::steal(to_python(count));
            if (!key || !value || PyDict_SetItem(dict.get(), key.get(), value.get()) < 0) return nullptr;
        }
        return dict.release();
    });
}

PyObject* statistics(PyObject* self, PyObject*) {
    return guarded([&] {
        const VisibilityGraph& graph = graph_of(self);
        return wrap_statistics(without_lock([&] { return compute_statistics(graph); }));
    });
}

PyObject* betweenness_centrality_of_node(PyObject* self, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        const auto node = node_argument(args, kwargs, "O:betweenness_centrality", "node");
        if (!node) return nullptr;
        const VisibilityGraph& graph = graph_of(self);
        if (*node >= graph.node_count()) {
            return raise_value_error("Node " + std::to_string(*node) + " not found in graph");
        }
        return to_python(without_lock([&] { return betweenness_centrality_all(graph)[*node]; }));
    });
}

PyObject* node_clustering(PyObject* self, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        const auto node = node_argument(args, kwargs, "O:node_clustering_coefficient", "node");
        if (!node) return nullptr;
        const VisibilityGraph& graph = graph_of(self);
        return to_python(without_lock([&] { return clustering_coefficient(graph, *node); }));
    });
}

PyObject* path_length(PyObject* self, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        const auto nodes = node_pair_arguments(args, kwargs, "OO:shortest_path_length", "source", "target");
        if (!nodes) return nullptr;
        const VisibilityGraph& graph = graph_of(self);
        return to_python(without_lock([&] { return shortest_path_length(graph, nodes->first, nodes->second); }));
    });
}

const PyMethodDef metric_methods[] = {
    {"density", measure<density>, METH_NOARGS,
                                    "density($self)\n--\n\nReturns the graph density."},
    {"clustering_coefficient", measure<average_clustering_of>, METH_NOARGS,
    "clustering_coefficient($self)\n--\n\nReturns the average clustering coefficient."},
    {"diameter", measure<diameter_of>, METH_NOARGS,
                                     "diameter($self)\n--\n\nReturns the graph diameter."},
    {"betweenness_centrality", method_pointer(betweenness_centrality_of_node), METH_VARARGS | METH_KEYWORDS,
    "betweenness_centrality($self, node)\n--\n\nComputes betweenness centrality for a node."},
    {"shortest_path_length", method_pointer(path_length), METH_VARARGS | METH_KEYWORDS,
    "shortest_path_length($self, source, target)\n--\n\nComputes shortest path length between two nodes."},
    {"average_path_length", measure<average_path_length_of>, METH_NOARGS,
    "average_path_length($self)\n--\n\nComputes average path length across all node pairs."},
    {"radius", measure<radius_of>, METH_NOARGS,
                                   "radius($self)\n--\n\nReturns the graph radius (minimum eccentricity)."},
    {"is_connected", measure<is_connected_of>, METH_NOARGS,
                                         "is_connected($self)\n--\n\nChecks if the graph is connected."},
    {"count_components", measure<component_count_of>, METH_NOARGS,
    "count_components($self)\n--\n\nCounts the number of connected components."},
    {"largest_component_size", measure<largest_component_of>, METH_NOARGS,
    "largest_component_size($self)\n--\n\nReturns the size of the largest component."},
    {"assortativity", measure<assortativity>, METH_NOARGS,
    "assortativity($self)\n--\n\nComputes assortativity coefficient (degree correlation)."},
    {"degree_variance", measure<degree_variance>, METH_NOARGS,
                                            "degree_variance($self)\n--\n\nComputes degree variance."},
    {"degree_std_dev", measure<degree_std_dev>, METH_NOARGS,
                                           "degree_std_dev($self)\n--\n\nComputes degree standard deviation."},
    {"degree_distribution", degree_distribution_dict, METH_NOARGS,
    "degree_distribution($self)\n--\n\nReturns degree distribution as a dictionary {degree: count}."},
    {"degree_entropy", measure<degree_entropy>, METH_NOARGS,
                                           "degree_entropy($self)\n--\n\nComputes degree entropy."},
    {"node_clustering_coefficient", method_pointer(node_clustering), METH_VARARGS | METH_KEYWORDS,
    "node_clustering_coefficient($self, node)\n--\n\nComputes clustering coefficient for a specific node."},
    {"global_clustering_coefficient", measure<transitivity>, METH_NOARGS,
    "global_clustering_coefficient($self)\n--\n\nComputes global clustering coefficient (transitivity)."},
    {"betweenness_centrality_all", betweenness_centrality_all_list, METH_NOARGS,
    "betweenness_centrality_all($self)\n--\n\nComputes betweenness centrality for all nodes."},
    {"degree_centrality", degree_centrality_list, METH_NOARGS,
    "degree_centrality($self)\n--\n\nComputes degree centrality for all nodes."},
    {"compute_statistics", statistics, METH_NOARGS,
    "compute_statistics($self)\n--\n\nComputes comprehensive statistics for the graph."},
};

}  // namespace

std::span<const PyMethodDef> visibility_graph_metric_methods() { return metric_methods; }

}  // namespace kaltrope::bindings
