// VisibilityGraph methods that read the graph's structure.

#include <optional>

#include "bindings/common/class_support.hpp"
#include "bindings/common/method_table.hpp"
#include "bindings/common/numpy_api.hpp"
#include "bindings/common/errors.hpp"
#include "bindings/common/result_conversion.hpp"
#include "bindings/objects/visibility_graph_methods.hpp"
#include "bindings/objects/visibility_graph_object.hpp"

namespace kaltrope::bindings {
namespace {

PyObject* node_count(PyObject* self, PyObject*) {
    return guarded([&] { return to_python(graph_of(self).node_count()); });
}

PyObject* edge_count(PyObject* self, PyObject*) {
    return guarded([&] { return to_python(graph_of(self).edge_count()); });
}

PyObject* is_directed(PyObject* self, PyObject*) {
    return guarded([&] { return to_python(graph_of(self).is_directed()); });
}

PyObject* degree_sequence(PyObject* self, PyObject*) {
    return guarded([&]() -> PyObject* {
        const Adjacency& adjacency = graph_of(self).adjacency();
        std::vector<std::size_t> degrees(adjacency.node_count());
        for (std::size_t v = 0; v < degrees.size(); ++v) degrees[v] = adjacency.degree(v);
        return to_python_list(degrees);
    });
}

PyObject* edges(PyObject* self, PyObject*) {
    return guarded([&]() -> PyObject* {
        const VisibilityGraph& graph = graph_of(self);
        PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(graph.edge_count())));
        if (!list) return nullptr;
        PyRef weight = PyRef::steal(to_python(VisibilityGraph::kEdgeWeight));
        if (!weight) return nullptr;
        Py_ssize_t next = 0;
        bool failed = false;
        graph.adjacency().for_each_edge([&](std::size_t a, std::size_t b) {
            if (failed) return;
            PyObject* edge = Py_BuildValue("(nnO)", static_cast<Py_ssize_t>(a), static_cast<Py_ssize_t>(b), weight.get());
            failed = edge == nullptr;
            if (!failed) PyList_SetItem(list.get(), next++, edge);  // steals edge
        });
        return failed ? nullptr : list.release();
    });
}

PyObject* adjacency_matrix(PyObject* self, PyObject*) {
    return guarded([&]() -> PyObject* {
        if (!ensure_numpy()) return nullptr;
        const VisibilityGraph& graph = graph_of(self);
        const auto n = static_cast<npy_intp>(graph.node_count());
        npy_intp shape[2] = {n, n};
        PyObject* matrix = PyArray_ZEROS(2, shape, NPY_DOUBLE, 0);
        if (matrix == nullptr) return nullptr;
        auto* cells = static_cast<double*>(PyArray_DATA(reinterpret_cast<PyArrayObject*>(matrix)));
        graph.fill_adjacency_matrix(std::span(cells, graph.node_count() * graph.node_count()));
        return matrix;
    });
}

PyObject* neighbors(PyObject* self, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        const auto node = node_argument(args, kwargs, "O:neighbors", "node");
        if (!node) return nullptr;
        const auto weights = graph_of(self).neighbors(*node);
        if (!weights) Py_RETURN_NONE;
        return to_python_list(*weights);
    });
}

PyObject* has_edge(PyObject* self, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        const auto nodes = node_pair_arguments(args, kwargs, "OO:has_edge", "from_node", "to_node");
        if (!nodes) return nullptr;
        return to_python(graph_of(self).has_edge(nodes->first, nodes->second));
    });
}

PyObject* neighbor_indices(PyObject* self, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        const auto node = node_argument(args, kwargs, "O:neighbor_indices", "node");
        if (!node) return nullptr;
        return to_python_list(graph_of(self).neighbor_indices(*node));
    });
}

PyObject* degree(PyObject* self, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        const auto node = node_argument(args, kwargs, "O:degree", "node");
        if (!node) return nullptr;
        return to_python(graph_of(self).degree(*node));
    });
}

const PyMethodDef query_methods[] = {
    {"node_count", node_count, METH_NOARGS,
                                       "node_count($self)\n--\n\nReturns the number of nodes."},
    {"edge_count", edge_count, METH_NOARGS,
                                       "edge_count($self)\n--\n\nReturns the number of edges."},
    {"degree_sequence", degree_sequence, METH_NOARGS,
                                            "degree_sequence($self)\n--\n\nReturns the degree sequence as a list."},
    {"edges", edges, METH_NOARGS,
    "edges($self)\n--\n\nReturns edges as a list of tuples (source, target, weight)."},
    {"neighbors", method_pointer(neighbors), METH_VARARGS | METH_KEYWORDS,
    "neighbors($self, node)\n--\n\nGet neighbors of a node with their edge weights."},
    {"has_edge", method_pointer(has_edge), METH_VARARGS | METH_KEYWORDS,
    "has_edge($self, from_node, to_node)\n--\n\nCheck if there's an edge between two nodes."},
    {"neighbor_indices", method_pointer(neighbor_indices),
                                             METH_VARARGS | METH_KEYWORDS,
                                             "neighbor_indices($self, node)\n--\n\nGet neighbor indices for a node."},
    {"degree", method_pointer(degree), METH_VARARGS | METH_KEYWORDS,
                                   "degree($self, node)\n--\n\nGet the degree of a specific node."},
    {"is_directed", is_directed, METH_NOARGS,
                                        "is_directed($self)\n--\n\nCheck if the graph is directed."},
    {"adjacency_matrix", adjacency_matrix, METH_NOARGS,
    "adjacency_matrix($self)\n--\n\nReturns the adjacency matrix as a NumPy array."},
};

}  // namespace

std::span<const PyMethodDef> visibility_graph_query_methods() { return query_methods; }

}  // namespace kaltrope::bindings
