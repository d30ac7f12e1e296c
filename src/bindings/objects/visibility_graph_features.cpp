// VisibilityGraph methods that read the node feature table.

#include <cmath>
#include <string>

#include "bindings/common/class_support.hpp"
#include "bindings/common/method_table.hpp"
#include "bindings/common/numpy_api.hpp"
#include "bindings/common/errors.hpp"
#include "bindings/common/result_conversion.hpp"
#include "bindings/objects/visibility_graph_methods.hpp"
#include "bindings/objects/visibility_graph_object.hpp"

namespace kaltrope::bindings {
namespace {

constexpr const char* kNoFeatures =
    "No features computed. Use natural_visibility_with_features() or horizontal_visibility_with_features()";

// {name: value} of the features with a value at node, in column order.
PyObject* feature_dict(const NodeFeatureTable& table, std::size_t node) {
    PyRef dict = PyRef::steal(PyDict_New());
    if (!dict) return nullptr;
    for (std::size_t column = 0; column < table.names().size(); ++column) {
        const auto value = table.value(node, column);
        if (!value) continue;
        PyRef item = PyRef::steal(to_python(*value));
        if (!item || PyDict_SetItemString(dict.get(), table.names()[column].c_str(), item.get()) < 0) return nullptr;
    }
    return dict.release();
}

// The node argument of the strict accessors, which raise rather than answer
// None: out of range first, then a graph without features.
std::optional<std::size_t> feature_node(const VisibilityGraph& graph, PyObject* args, PyObject* kwargs,
                                        const char* format) {
    const auto node = node_argument(args, kwargs, format, "node");
    if (!node) return std::nullopt;
    if (*node >= graph.node_count()) {
        raise_value_error("Node " + std::to_string(*node) + " out of range (graph has " +
                          std::to_string(graph.node_count()) + " nodes)");
        return std::nullopt;
    }
    if (!graph.has_features()) {
        raise_value_error(kNoFeatures);
        return std::nullopt;
    }
    return node;
}

PyObject* get_node_feature_names(PyObject* self, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        const VisibilityGraph& graph = graph_of(self);
        const auto node = feature_node(graph, args, kwargs, "O:get_node_feature_names");
        if (!node) return nullptr;
        const NodeFeatureTable& table = graph.node_features();
        PyRef names = PyRef::steal(PyList_New(0));
        if (!names) return nullptr;
        for (std::size_t column = 0; column < table.names().size(); ++column) {
            if (!table.value(*node, column)) continue;
            PyRef name = PyRef::steal(PyUnicode_FromString(table.names()[column].c_str()));
            if (!name || PyList_Append(names.get(), name.get()) < 0) return nullptr;
        }
        return names.release();
    });
}

PyObject* get_node_features(PyObject* self, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        const VisibilityGraph& graph = graph_of(self);
        const auto node = feature_node(graph, args, kwargs, "O:get_node_features");
        if (!node) return nullptr;
        return feature_dict(graph.node_features(), *node);
    });
}

// Columns: the features with a value at node 0; 0.0 where a node has none.
PyObject* get_all_features(PyObject* self, PyObject*) {
    return guarded([&]() -> PyObject* {
        const VisibilityGraph& graph = graph_of(self);
        if (!graph.has_features()) return raise_value_error(kNoFeatures);
        if (!ensure_numpy()) return nullptr;
        const NodeFeatureTable& table = graph.node_features();
        std::vector<std::size_t> columns;
        for (std::size_t column = 0; column < table.names().size(); ++column) {
            if (table.value(0, column)) columns.push_back(column);
        }
        const std::size_t n = graph.node_count();
        npy_intp shape[2] = {static_cast<npy_intp>(n), static_cast<npy_intp>(columns.size())};
        PyObject* array = PyArray_SimpleNew(2, shape, NPY_DOUBLE);
        if (array == nullptr) return nullptr;
        auto* out = static_cast<double*>(PyArray_DATA(reinterpret_cast<PyArrayObject*>(array)));
        for (std::size_t node = 0; node < n; ++node) {
            for (const std::size_t column : columns) *out++ = table.value(node, column).value_or(0.0);
        }
        return array;
    });
}

PyObject* has_features(PyObject* self, PyObject*) {
    return guarded([&] { return to_python(graph_of(self).has_features()); });
}

PyObject* feature_count(PyObject* self, PyObject*) {
    return guarded([&] { return to_python(graph_of(self).feature_count()); });
}

// None rather than an error where there is no feature map.
PyObject* node_features(PyObject* self, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        const auto node = node_argument(args, kwargs, "O:node_features", "node");
        if (!node) return nullptr;
        const VisibilityGraph& graph = graph_of(self);
        if (!graph.has_features() || *node >= graph.node_count()) Py_RETURN_NONE;
        return feature_dict(graph.node_features(), *node);
    });
}

// (names, values): every feature name of the table, and an (n, k)
// float64 array with NaN where a node has no value.
PyObject* feature_table(PyObject* self, PyObject*) {
    return guarded([&]() -> PyObject* {
        if (!ensure_numpy()) return nullptr;
        const VisibilityGraph& graph = graph_of(self);
        const NodeFeatureTable& table = graph.node_features();
        const std::size_t n = graph.node_count();
        const std::size_t columns = graph.has_features() ? table.names().size() : 0;
        PyRef names = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(columns)));
        if (!names) return nullptr;
        for (std::size_t column = 0; column < columns; ++column) {
            PyObject* name = PyUnicode_FromString(table.names()[column].c_str());
            if (name == nullptr) return nullptr;
            PyList_SetItem(names.get(), static_cast<Py_ssize_t>(column), name);  // steals name
        }
        npy_intp shape[2] = {static_cast<npy_intp>(n), static_cast<npy_intp>(columns)};
        PyRef array = PyRef::steal(PyArray_SimpleNew(2, shape, NPY_DOUBLE));
        if (!array) return nullptr;
        auto* out = static_cast<double*>(PyArray_DATA(reinterpret_cast<PyArrayObject*>(array.get())));
        without_lock([&] {
            for (std::size_t node = 0; node < n; ++node) {
                for (std::size_t column = 0; column < columns; ++column) {
                    *out++ = table.value(node, column).value_or(std::nan(""));
                }
            }
        });
        return PyTuple_Pack(2, names.get(), array.get());
    });
}

const PyMethodDef feature_methods[] = {
    {"get_node_feature_names", method_pointer(get_node_feature_names), METH_VARARGS | METH_KEYWORDS,
     "get_node_feature_names($self, node)\n--\n\n"
     "Get feature names for a specific node\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "node : int\n"
     "    A node index.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "list of str\n"
     "    The names of the features with a value at the node, in column\n"
     "    order.\n"
     "\n"
     "Raises\n"
     "------\n"
     "ValueError\n"
     "    If `node` is not a node of the graph (\"Node 9 out of range (graph\n"
     "    has 4 nodes)\"), checked first, or if the graph was built without\n"
     "    features (\"No features computed. Use ...\").\n"
     "TypeError\n"
     "    If `node` is not an int.\n"
     "OverflowError\n"
     "    If `node` is negative.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> features = kt.FeatureSet().add_builtin(kt.BuiltinFeature(kt.BuiltinFeature.DELTA_FORWARD))\n"
     ">>> graph = kt.TimeSeries([1.0, 3.0, 2.0]).natural_visibility_with_features(features)\n"
     ">>> graph.get_node_feature_names(0), graph.get_node_feature_names(2)\n"
     "(['delta_forward'], [])\n"},
    {"get_node_features", method_pointer(get_node_features), METH_VARARGS | METH_KEYWORDS,
     "get_node_features($self, node)\n--\n\n"
     "Get features for a specific node as a dictionary {feature_name: value}\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "node : int\n"
     "    A node index.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "dict of str to float\n"
     "    The features with a value at the node (a feature without one, such\n"
     "    as delta_forward at the last node, is left out).\n"
     "\n"
     "Raises\n"
     "------\n"
     "ValueError\n"
     "    If `node` is not a node of the graph (\"Node 9 out of range (graph\n"
     "    has 4 nodes)\"), checked first, or if the graph was built without\n"
     "    features (\"No features computed. Use ...\").\n"
     "TypeError\n"
     "    If `node` is not an int.\n"
     "OverflowError\n"
     "    If `node` is negative.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> features = kt.FeatureSet().add_builtin(kt.BuiltinFeature(kt.BuiltinFeature.DELTA_FORWARD))\n"
     ">>> graph = kt.TimeSeries([1.0, 3.0, 2.0]).natural_visibility_with_features(features)\n"
     ">>> graph.get_node_features(0)\n"
     "{'delta_forward': 2.0}\n"},
    {"get_all_features", get_all_features, METH_NOARGS,
     "get_all_features($self)\n--\n\n"
     "Get all node features as a NumPy array (nodes x features)\n"
     "Returns array where row i contains features for node i\n"
     "\n"
     "Returns\n"
     "-------\n"
     "ndarray of float64, shape (n, k)\n"
     "    Row i holds the features of node i; the columns are the k features\n"
     "    with a value at node 0, in column order, and 0.0 stands where a node\n"
     "    has no value.\n"
     "\n"
     "Raises\n"
     "------\n"
     "ValueError\n"
     "    If the graph was built without features (\"No features computed.\n"
     "    Use natural_visibility_with_features() or\n"
     "    horizontal_visibility_with_features()\").\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> features = kt.FeatureSet().add_builtin(kt.BuiltinFeature(kt.BuiltinFeature.DELTA_FORWARD))\n"
     ">>> graph = kt.TimeSeries([1.0, 3.0, 2.0]).natural_visibility_with_features(features)\n"
     ">>> graph.get_all_features()\n"
     "array([[ 2.],\n"
     "       [-1.],\n"
     "       [ 0.]])\n"},
    {"has_features", has_features, METH_NOARGS,
     "has_features($self)\n--\n\n"
     "Check if features were computed\n"
     "\n"
     "Returns\n"
     "-------\n"
     "bool\n"
     "    True if the graph was built with a FeatureSet.\n"},
    {"feature_count", feature_count, METH_NOARGS,
     "feature_count($self)\n--\n\n"
     "Get the number of features per node\n"
     "\n"
     "Returns\n"
     "-------\n"
     "int\n"
     "    The number of feature columns; 0 without features.\n"},
    {"node_features", method_pointer(node_features), METH_VARARGS | METH_KEYWORDS,
     "node_features($self, node)\n--\n\n"
     "Get features for a specific node, or None.\n"
     "\n"
     "As `get_node_features`, but None rather than an error where the graph\n"
     "has no features or `node` is not one of its nodes.\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "node : int\n"
     "    A node index.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "dict of str to float or None\n"
     "    The features with a value at the node.\n"
     "\n"
     "Raises\n"
     "------\n"
     "TypeError\n"
     "    If `node` is not an int.\n"
     "OverflowError\n"
     "    If `node` is negative.\n"},
    {"feature_table", feature_table, METH_NOARGS,
     "feature_table($self)\n--\n\n"
     "Every node feature of every node, as one array.\n\n"
     "Unlike ``get_all_features()``, a node without a value for a feature\n"
     "shows NaN rather than 0.0, and a graph without features gives no\n"
     "columns rather than an error.\n\n"
     "Returns\n"
     "-------\n"
     "names : list of str\n"
     "    The feature names, one per column.\n"
     "values : numpy.ndarray\n"
     "    A float64 array of shape (n, len(names)), NaN where a node has no value.\n\n"
     "Raises\n"
     "------\n"
     "MemoryError\n"
     "    If the array cannot be allocated.\n\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> kt.natural_visibility([1.0, 2.0]).feature_table()[0]\n"
     "[]\n"},
};

}  // namespace

std::span<const PyMethodDef> visibility_graph_feature_methods() { return feature_methods; }

}  // namespace kaltrope::bindings
