// VisibilityGraph methods that return a value per edge or per node as one
// NumPy array, filled without the interpreter lock.

#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/metrics/betweenness.hpp"
#include "analysis/metrics/clustering.hpp"
#include "bindings/common/array_results.hpp"
#include "bindings/common/errors.hpp"
#include "bindings/common/method_table.hpp"
#include "bindings/common/py_ref.hpp"
#include "bindings/objects/visibility_graph_methods.hpp"
#include "bindings/objects/visibility_graph_object.hpp"
#include "core/graph/adjacency_arrays.hpp"

namespace kaltrope::bindings {
namespace {

PyObject* edge_array(PyObject* self, PyObject*) {
    return guarded([&] {
        const Adjacency& adjacency = graph_of(self).adjacency();
        auto pairs = memory::allocate_large_buffer<std::int64_t>(2 * adjacency.edge_count());
        without_lock([&] { write_edge_pairs(adjacency, std::span(pairs.get(), 2 * adjacency.edge_count())); });
        return pairs_to_numpy(std::move(pairs), adjacency.edge_count());
    });
}

PyObject* degrees(PyObject* self, PyObject*) {
    return guarded([&] {
        const Adjacency& adjacency = graph_of(self).adjacency();
        auto values = memory::allocate_large_buffer<std::int64_t>(adjacency.node_count());
        without_lock([&] { write_degrees(adjacency, std::span(values.get(), adjacency.node_count())); });
        return vector_to_numpy(std::move(values), adjacency.node_count());
    });
}

// A method without arguments returning the float64 array of compute(graph),
// one value per node.
template <auto compute>
PyObject* per_node(PyObject* self, PyObject*) {
    return guarded([&] {
        const VisibilityGraph& graph = graph_of(self);
        auto values = memory::allocate_large_buffer<double>(graph.node_count());
        without_lock([&] { std::ranges::copy(compute(graph), values.get()); });
        return float64_to_numpy(std::move(values), graph.node_count());
    });
}

// A copy of a column of the samples the graph keeps; NaN throughout for a
// graph made without them.
template <std::vector<double> NodeSamples::*column>
PyObject* sample_column(PyObject* self, PyObject*) {
    return guarded([&] {
        const VisibilityGraph& graph = graph_of(self);
        const std::vector<double>& kept = graph.samples().*column;
        auto values = memory::allocate_large_buffer<double>(graph.node_count());
        if (kept.size() == graph.node_count()) {
            std::ranges::copy(kept, values.get());
        } else {
            std::fill_n(values.get(), graph.node_count(), std::nan(""));
        }
        return float64_to_numpy(std::move(values), graph.node_count());
    });
}

const PyMethodDef array_methods[] = {
    {"edge_array", edge_array, METH_NOARGS,
     "edge_array($self)\n--\n\n"
     "The edges as one array of node pairs.\n\n"
     "Returns\n"
     "-------\n"
     "numpy.ndarray\n"
     "    An (E, 2) int64 array of the edges (a, b), a < b, in ascending order:\n"
     "    the pairs of ``edges()`` without the weights.\n\n"
     "Raises\n"
     "------\n"
     "MemoryError\n"
     "    If the array cannot be allocated."},
    {"degrees", degrees, METH_NOARGS,
     "degrees($self)\n--\n\n"
     "The degree of every node.\n\n"
     "Returns\n"
     "-------\n"
     "numpy.ndarray\n"
     "    An int64 array of shape (n,): ``degree_sequence()`` as an array.\n\n"
     "Raises\n"
     "------\n"
     "MemoryError\n"
     "    If the array cannot be allocated."},
    {"clustering_coefficients", per_node<clustering_coefficients>, METH_NOARGS,
     "clustering_coefficients($self)\n--\n\n"
     "The local clustering coefficient of every node.\n\n"
     "The links among a node's k neighbours over k(k - 1)/2, 0.0 for k < 2, as\n"
     "``node_clustering_coefficient`` gives it; every triangle is counted once.\n\n"
     "Returns\n"
     "-------\n"
     "numpy.ndarray\n"
     "    A float64 array of shape (n,).\n\n"
     "Raises\n"
     "------\n"
     "MemoryError\n"
     "    If the array cannot be allocated."},
    {"betweenness_centralities", per_node<betweenness_centrality_all>, METH_NOARGS,
     "betweenness_centralities($self)\n--\n\n"
     "The betweenness centrality of every node.\n\n"
     "The values of ``betweenness_centrality_all()``, computed once per graph and\n"
     "kept with it, so that later calls and ``betweenness_centrality(node)`` read\n"
     "them.\n\n"
     "Returns\n"
     "-------\n"
     "numpy.ndarray\n"
     "    A float64 array of shape (n,).\n\n"
     "Raises\n"
     "------\n"
     "MemoryError\n"
     "    If the array cannot be allocated."},
    {"values", sample_column<&NodeSamples::values>, METH_NOARGS,
     "values($self)\n--\n\n"
     "The value of the sample behind every node.\n\n"
     "Returns\n"
     "-------\n"
     "numpy.ndarray\n"
     "    A float64 array of shape (n,), NaN where the sample is missing.\n\n"
     "Raises\n"
     "------\n"
     "MemoryError\n"
     "    If the array cannot be allocated.\n\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> kt.TimeSeries.with_missing([0.0, 1.0, 3.0], [2.0, None, 1.0]).natural_visibility().values()\n"
     "array([ 2., nan,  1.])\n"},
    {"timestamps", sample_column<&NodeSamples::timestamps>, METH_NOARGS,
     "timestamps($self)\n--\n\n"
     "The timestamp of the sample behind every node.\n\n"
     "Returns\n"
     "-------\n"
     "numpy.ndarray\n"
     "    A float64 array of shape (n,): the series' timestamps, or 0, 1, 2, ...\n"
     "    for a graph of plain values.\n\n"
     "Raises\n"
     "------\n"
     "MemoryError\n"
     "    If the array cannot be allocated.\n\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> kt.natural_visibility([2.0, 1.0, 3.0]).timestamps()\n"
     "array([0., 1., 2.])\n"},
};

}  // namespace

std::span<const PyMethodDef> visibility_graph_array_methods() { return array_methods; }

}  // namespace kaltrope::bindings
