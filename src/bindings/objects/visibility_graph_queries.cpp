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
            PyObject* edge =
                Py_BuildValue("(nnO)", static_cast<Py_ssize_t>(a), static_cast<Py_ssize_t>(b), weight.get());
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
     "node_count($self)\n--\n\n"
     "Returns the number of nodes.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "int\n"
     "    One per sample of the series.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> graph = kt.natural_visibility([1.0, 3.0, 2.0, 4.0])\n"
     ">>> graph.node_count()\n"
     "4\n"},
    {"edge_count", edge_count, METH_NOARGS,
     "edge_count($self)\n--\n\n"
     "Returns the number of edges.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "int\n"
     "    The number of undirected edges.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> graph = kt.natural_visibility([1.0, 3.0, 2.0, 4.0])\n"
     ">>> graph.edge_count()\n"
     "4\n"},
    {"degree_sequence", degree_sequence, METH_NOARGS,
     "degree_sequence($self)\n--\n\n"
     "Returns the degree sequence as a list.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "list of int\n"
     "    The degree of every node, in node order.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> graph = kt.natural_visibility([1.0, 3.0, 2.0, 4.0])\n"
     ">>> graph.degree_sequence()\n"
     "[1, 3, 2, 2]\n"},
    {"edges", edges, METH_NOARGS,
     "edges($self)\n--\n\n"
     "Returns edges as a list of tuples (source, target, weight).\n"
     "\n"
     "Returns\n"
     "-------\n"
     "list of tuple(int, int, float)\n"
     "    One (a, b, 1.0) per edge, a < b, sorted.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> graph = kt.natural_visibility([1.0, 3.0, 2.0, 4.0])\n"
     ">>> graph.edges()[:2]\n"
     "[(0, 1, 1.0), (1, 2, 1.0)]\n"},
    {"neighbors", method_pointer(neighbors), METH_VARARGS | METH_KEYWORDS,
     "neighbors($self, node)\n--\n\n"
     "Weights of the edges of a node, one per neighbour.\n"
     "\n"
     "The weights (1.0 each) of the node's edges, in the ascending order of\n"
     "its neighbours as `neighbor_indices` lists them; the neighbours\n"
     "themselves are not returned.\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "node : int\n"
     "    A node index.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "list of float or None\n"
     "    One weight per neighbour; None if `node` is not a node of the graph.\n"
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
     ">>> graph.neighbors(1)\n"
     "[1.0, 1.0, 1.0]\n"},
    {"has_edge", method_pointer(has_edge), METH_VARARGS | METH_KEYWORDS,
     "has_edge($self, from_node, to_node)\n--\n\n"
     "Check if there's an edge between two nodes.\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "from_node, to_node : int\n"
     "    Node indices, in either order.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "bool\n"
     "    True if the two nodes share an edge; False otherwise, also for a\n"
     "    node outside the graph and for ``from_node == to_node``.\n"
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
     ">>> graph.has_edge(3, 1), graph.has_edge(0, 3)\n"
     "(True, False)\n"},
    {"neighbor_indices", method_pointer(neighbor_indices), METH_VARARGS | METH_KEYWORDS,
     "neighbor_indices($self, node)\n--\n\n"
     "Get neighbor indices for a node.\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "node : int\n"
     "    A node index.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "list of int\n"
     "    The neighbours, ascending; empty if `node` is not a node of the\n"
     "    graph.\n"
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
     ">>> graph.neighbor_indices(1)\n"
     "[0, 2, 3]\n"},
    {"degree", method_pointer(degree), METH_VARARGS | METH_KEYWORDS,
     "degree($self, node)\n--\n\n"
     "Get the degree of a specific node.\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "node : int\n"
     "    A node index.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "int or None\n"
     "    The number of the node's neighbours; None if `node` is not a node\n"
     "    of the graph.\n"
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
     ">>> graph.degree(1)\n"
     "3\n"},
    {"is_directed", is_directed, METH_NOARGS,
     "is_directed($self)\n--\n\n"
     "Check if the graph is directed.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "bool\n"
     "    Always False: visibility graphs are undirected.\n"},
    {"adjacency_matrix", adjacency_matrix, METH_NOARGS,
     "adjacency_matrix($self)\n--\n\n"
     "Returns the adjacency matrix as a NumPy array.\n"
     "\n"
     "Takes n\xc2\xb2 doubles: for small graphs.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "ndarray of float64, shape (n, n)\n"
     "    1.0 where two nodes share an edge, else 0.0; symmetric.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> graph = kt.natural_visibility([1.0, 3.0, 2.0, 4.0])\n"
     ">>> graph.adjacency_matrix()[0]\n"
     "array([0., 1., 0., 0.])\n"},
};

}  // namespace

std::span<const PyMethodDef> visibility_graph_query_methods() { return query_methods; }

}  // namespace kaltrope::bindings
