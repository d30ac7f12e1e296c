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
     "density($self)\n--\n\n"
     "Returns the graph density.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "float\n"
     "    2E / (n (n - 1)): the share of node pairs joined by an edge; 0.0\n"
     "    below two nodes.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> graph = kt.natural_visibility([1.0, 3.0, 2.0, 4.0])\n"
     ">>> graph.density()\n"
     "0.6666666666666666\n"},
    {"clustering_coefficient", measure<average_clustering_of>, METH_NOARGS,
     "clustering_coefficient($self)\n--\n\n"
     "Returns the average clustering coefficient.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "float\n"
     "    The mean over all nodes of `node_clustering_coefficient` (0.0 for a\n"
     "    node of degree below 2).\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> graph = kt.natural_visibility([1.0, 3.0, 2.0, 4.0])\n"
     ">>> graph.clustering_coefficient()\n"
     "0.5833333333333333\n"},
    {"diameter", measure<diameter_of>, METH_NOARGS,
     "diameter($self)\n--\n\n"
     "Returns the graph diameter.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "int\n"
     "    The largest eccentricity. Where the graph falls apart, the\n"
     "    eccentricities are taken within each component.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> graph = kt.natural_visibility([1.0, 3.0, 2.0, 4.0])\n"
     ">>> graph.diameter()\n"
     "2\n"},
    {"betweenness_centrality", method_pointer(betweenness_centrality_of_node), METH_VARARGS | METH_KEYWORDS,
     "betweenness_centrality($self, node)\n--\n\n"
     "Computes betweenness centrality for a node.\n"
     "\n"
     "As `betweenness_centrality_all`, which it computes in full.\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "node : int\n"
     "    A node index.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "float\n"
     "    The node's betweenness centrality.\n"
     "\n"
     "Raises\n"
     "------\n"
     "ValueError\n"
     "    If `node` is not a node of the graph (\"Node 9 not found in graph\").\n"
     "TypeError\n"
     "    If `node` is not an int.\n"
     "OverflowError\n"
     "    If `node` is negative.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> graph = kt.natural_visibility([1.0, 3.0, 2.0, 4.0])\n"
     ">>> graph.betweenness_centrality(1)\n"
     "0.6666666666666666\n"},
    {"shortest_path_length", method_pointer(path_length), METH_VARARGS | METH_KEYWORDS,
     "shortest_path_length($self, source, target)\n--\n\n"
     "Computes shortest path length between two nodes.\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "source, target : int\n"
     "    Node indices.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "int or None\n"
     "    The number of edges on a shortest path, 0 from a node to itself;\n"
     "    None if no path joins them or a node is not in the graph.\n"
     "\n"
     "Raises\n"
     "------\n"
     "TypeError\n"
     "    If a node is not an int.\n"
     "OverflowError\n"
     "    If a node is negative.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> graph = kt.natural_visibility([1.0, 3.0, 2.0, 4.0])\n"
     ">>> graph.shortest_path_length(0, 3), graph.shortest_path_length(0, 9)\n"
     "(2, None)\n"},
    {"average_path_length", measure<average_path_length_of>, METH_NOARGS,
     "average_path_length($self)\n--\n\n"
     "Computes average path length across all node pairs.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "float\n"
     "    The mean shortest-path length over the pairs of distinct nodes that a\n"
     "    path joins; 0.0 where none does.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> graph = kt.natural_visibility([1.0, 3.0, 2.0, 4.0])\n"
     ">>> graph.average_path_length()\n"
     "1.3333333333333333\n"},
    {"radius", measure<radius_of>, METH_NOARGS,
     "radius($self)\n--\n\n"
     "Returns the graph radius (minimum eccentricity).\n"
     "\n"
     "Returns\n"
     "-------\n"
     "int\n"
     "    The smallest eccentricity, taken within each component; an isolated\n"
     "    node has eccentricity 0, hence radius 0.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> graph = kt.natural_visibility([1.0, 3.0, 2.0, 4.0])\n"
     ">>> graph.radius()\n"
     "1\n"},
    {"is_connected", measure<is_connected_of>, METH_NOARGS,
     "is_connected($self)\n--\n\n"
     "Checks if the graph is connected.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "bool\n"
     "    True if a path joins every pair of nodes.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> graph = kt.natural_visibility([1.0, 3.0, 2.0, 4.0])\n"
     ">>> graph.is_connected()\n"
     "True\n"},
    {"count_components", measure<component_count_of>, METH_NOARGS,
     "count_components($self)\n--\n\n"
     "Counts the number of connected components.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "int\n"
     "    The number of connected components (an isolated node is one).\n"},
    {"largest_component_size", measure<largest_component_of>, METH_NOARGS,
     "largest_component_size($self)\n--\n\n"
     "Returns the size of the largest component.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "int\n"
     "    The number of nodes of the largest connected component.\n"},
    {"assortativity", measure<assortativity>, METH_NOARGS,
     "assortativity($self)\n--\n\n"
     "Computes assortativity coefficient (degree correlation).\n"
     "\n"
     "Returns\n"
     "-------\n"
     "float\n"
     "    The Pearson correlation of the degrees at the two ends of the edges;\n"
     "    0.0 where it is undefined (no edges, or equal degrees at both ends of\n"
     "    every edge).\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> graph = kt.natural_visibility([1.0, 3.0, 2.0, 4.0])\n"
     ">>> round(graph.assortativity(), 4)\n"
     "-0.7143\n"},
    {"degree_variance", measure<degree_variance>, METH_NOARGS,
     "degree_variance($self)\n--\n\n"
     "Computes degree variance.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "float\n"
     "    The population variance of the degrees.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> graph = kt.natural_visibility([1.0, 3.0, 2.0, 4.0])\n"
     ">>> graph.degree_variance()\n"
     "0.5\n"},
    {"degree_std_dev", measure<degree_std_dev>, METH_NOARGS,
     "degree_std_dev($self)\n--\n\n"
     "Computes degree standard deviation.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "float\n"
     "    The square root of `degree_variance`.\n"},
    {"degree_distribution", degree_distribution_dict, METH_NOARGS,
     "degree_distribution($self)\n--\n\n"
     "Returns degree distribution as a dictionary {degree: count}.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "dict of int to int\n"
     "    For each degree that occurs, the number of nodes that have it.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> graph = kt.natural_visibility([1.0, 3.0, 2.0, 4.0])\n"
     ">>> graph.degree_distribution()\n"
     "{1: 1, 2: 2, 3: 1}\n"},
    {"degree_entropy", measure<degree_entropy>, METH_NOARGS,
     "degree_entropy($self)\n--\n\n"
     "Computes degree entropy.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "float\n"
     "    The Shannon entropy, in bits, of the degree distribution.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> graph = kt.natural_visibility([1.0, 3.0, 2.0, 4.0])\n"
     ">>> graph.degree_entropy()\n"
     "1.5\n"},
    {"node_clustering_coefficient", method_pointer(node_clustering), METH_VARARGS | METH_KEYWORDS,
     "node_clustering_coefficient($self, node)\n--\n\n"
     "Computes clustering coefficient for a specific node.\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "node : int\n"
     "    A node index.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "float or None\n"
     "    The share of pairs of the node's neighbours that share an edge, 0.0\n"
     "    below two neighbours; None if `node` is not a node of the graph.\n"
     "\n"
     "Raises\n"
     "------\n"
     "TypeError\n"
     "    If `node` is not an int.\n"
     "OverflowError\n"
     "    If `node` is negative.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> graph = kt.natural_visibility([1.0, 3.0, 2.0, 4.0])\n"
     ">>> graph.node_clustering_coefficient(2)\n"
     "1.0\n"},
    {"global_clustering_coefficient", measure<transitivity>, METH_NOARGS,
     "global_clustering_coefficient($self)\n--\n\n"
     "Computes global clustering coefficient (transitivity).\n"
     "\n"
     "Returns\n"
     "-------\n"
     "float\n"
     "    3 \xc3\x97 triangles / connected triples; 0.0 without triples.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> graph = kt.natural_visibility([1.0, 3.0, 2.0, 4.0])\n"
     ">>> graph.global_clustering_coefficient()\n"
     "0.6\n"},
    {"betweenness_centrality_all", betweenness_centrality_all_list, METH_NOARGS,
     "betweenness_centrality_all($self)\n--\n\n"
     "Computes betweenness centrality for all nodes.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "list of float\n"
     "    One value per node: over ordered pairs of other nodes, the share of\n"
     "    shortest paths through the node, divided by (n - 1)(n - 2) (Brandes;\n"
     "    equal to networkx.betweenness_centrality).\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> graph = kt.natural_visibility([1.0, 3.0, 2.0, 4.0])\n"
     ">>> graph.betweenness_centrality_all()\n"
     "[0.0, 0.6666666666666666, 0.0, 0.0]\n"},
    {"degree_centrality", degree_centrality_list, METH_NOARGS,
     "degree_centrality($self)\n--\n\n"
     "Computes degree centrality for all nodes.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "list of float\n"
     "    The degree of every node divided by n - 1.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> graph = kt.natural_visibility([1.0, 3.0, 2.0, 4.0])\n"
     ">>> graph.degree_centrality()[1]\n"
     "1.0\n"},
    {"compute_statistics", statistics, METH_NOARGS,
     "compute_statistics($self)\n--\n\n"
     "Computes comprehensive statistics for the graph.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "GraphStatistics\n"
     "    Every measure at once; ``print`` shows it as a boxed summary.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> graph = kt.natural_visibility([1.0, 3.0, 2.0, 4.0])\n"
     ">>> graph.compute_statistics().diameter\n"
     "2\n"},
};

}  // namespace

std::span<const PyMethodDef> visibility_graph_metric_methods() { return metric_methods; }

}  // namespace kaltrope::bindings
