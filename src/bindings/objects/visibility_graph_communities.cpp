// VisibilityGraph methods that divide the graph into communities and score
// such divisions. Each runs without the interpreter lock.

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "analysis/community/communities.hpp"
#include "bindings/common/argument_conversion.hpp"
#include "bindings/common/errors.hpp"
#include "bindings/common/method_table.hpp"
#include "bindings/common/numpy_api.hpp"
#include "bindings/common/result_conversion.hpp"
#include "bindings/objects/visibility_graph_methods.hpp"
#include "bindings/objects/visibility_graph_object.hpp"

namespace kaltrope::bindings {
namespace {

PyObject* communities(PyObject* self, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"resolution", "seed", nullptr};
        LeidenOptions options;
        PyObject* seed_argument = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "|$dO:detect_communities", const_cast<char**>(keywords),
                                         &options.resolution, &seed_argument)) {
            return nullptr;
        }
        if (!std::isfinite(options.resolution) || options.resolution < 0.0) {
            return raise_value_error("resolution must be a finite number >= 0, got " +
                                     std::to_string(options.resolution));
        }
        if (seed_argument != nullptr) {
            const auto seed = unsigned_size(seed_argument, "seed");
            if (!seed) return nullptr;
            options.seed = *seed;
        }
        const VisibilityGraph& graph = graph_of(self);
        return to_python_list(without_lock([&] { return detect_communities(graph, options).labels; }));
    });
}

// The labels argument copied as int64 values, one per node; nothing with
// the error set.
std::optional<std::vector<std::int64_t>> labels_argument(PyObject* labels, std::size_t node_count) {
    if (!ensure_numpy()) return std::nullopt;
    // Converted as they are first, so that floats are refused rather than cut.
    PyRef found = PyRef::steal(PyArray_FromAny(labels, nullptr, 1, 1, 0, nullptr));
    if (!found) return std::nullopt;
    const auto* found_array = reinterpret_cast<PyArrayObject*>(found.get());
    // An empty list comes as float64, and holds no label that is not an integer.
    if (PyArray_SIZE(found_array) == 0) {
        if (node_count != 0) {
            raise_value_error("labels must hold one label per node: got 0 for " + std::to_string(node_count) +
                              " nodes");
            return std::nullopt;
        }
        return std::vector<std::int64_t>();
    }
    if (!PyArray_ISINTEGER(found_array) && !PyArray_ISBOOL(found_array)) {
        PyErr_SetString(PyExc_TypeError, "labels must be integers");
        return std::nullopt;
    }
    // Unsigned labels are read as uint64 (which int64 cannot take safely
    // whatever the values) and refused only where a value is beyond int64.
    const bool is_unsigned = PyArray_ISUNSIGNED(found_array);
    PyRef converted =
        PyRef::steal(PyArray_FROMANY(found.get(), is_unsigned ? NPY_UINT64 : NPY_INT64, 1, 1, NPY_ARRAY_IN_ARRAY));
    if (!converted) return std::nullopt;
    auto* array = reinterpret_cast<PyArrayObject*>(converted.get());
    const auto count = static_cast<std::size_t>(PyArray_SIZE(array));
    if (count != node_count) {
        raise_value_error("labels must hold one label per node: got " + std::to_string(count) + " for " +
                          std::to_string(node_count) + " nodes");
        return std::nullopt;
    }
    if (is_unsigned) {
        const auto* data = static_cast<const std::uint64_t*>(PyArray_DATA(array));
        std::vector<std::int64_t> labels(count);
        for (std::size_t v = 0; v < count; ++v) {
            if (data[v] > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                PyErr_SetString(PyExc_TypeError, ("labels must fit int64: label " + std::to_string(data[v]) +
                                                  " of node " + std::to_string(v) + " does not")
                                                     .c_str());
                return std::nullopt;
            }
            labels[v] = static_cast<std::int64_t>(data[v]);
        }
        return labels;
    }
    const auto* data = static_cast<const std::int64_t*>(PyArray_DATA(array));
    return std::vector<std::int64_t>(data, data + count);
}

PyObject* modularity(PyObject* self, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"labels", nullptr};
        PyObject* labels_object = Py_None;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "|O:modularity", const_cast<char**>(keywords), &labels_object)) {
            return nullptr;
        }
        const VisibilityGraph& graph = graph_of(self);
        if (labels_object == Py_None) return to_python(without_lock([&] { return detected_modularity(graph); }));
        const auto labels = labels_argument(labels_object, graph.node_count());
        if (!labels) return nullptr;
        return to_python(without_lock([&] { return modularity_of_labels(graph, *labels); }));
    });
}

const PyMethodDef community_methods[] = {
    {"detect_communities", method_pointer(communities), METH_VARARGS | METH_KEYWORDS,
     "detect_communities($self, /, *, resolution=1.0, seed=0)\n--\n\n"
     "Divides the nodes into communities of high modularity (the Leiden algorithm).\n\n"
     "Nodes move to the neighbouring community that raises the modularity most;\n"
     "each community is then refined into well-connected subcommunities, which\n"
     "become the nodes of the next level; levels repeat until no node moves, and\n"
     "rounds of levels until one changes nothing or raises the modularity by less\n"
     "than 1e-4 (nodes then move on their own until none gains by it). Every\n"
     "community is connected, and nodes without edges stay alone.\n"
     "The result depends only on the graph, ``resolution`` and ``seed``, not on\n"
     "the number of threads. The result for the default arguments is computed\n"
     "once and kept with the graph.\n\n"
     "Parameters\n"
     "----------\n"
     "resolution : float, optional\n"
     "    The weight gamma of the expected edges in the modularity\n"
     "    sum_c e_c / m - gamma (K_c / 2m)^2; larger values give smaller\n"
     "    communities. A finite number >= 0.\n"
     "seed : int, optional\n"
     "    Seeds the order in which nodes are visited; an integer in [0, 2**64).\n\n"
     "Returns\n"
     "-------\n"
     "list of int\n"
     "    The community of each node: 0, 1, ... in order of first appearance,\n"
     "    so node 0 is in community 0.\n\n"
     "Raises\n"
     "------\n"
     "ValueError\n"
     "    If ``resolution`` is negative or not finite.\n"
     "TypeError, OverflowError\n"
     "    If ``resolution`` is not a number or ``seed`` not a non-negative integer."},
    {"modularity", method_pointer(modularity), METH_VARARGS | METH_KEYWORDS,
     "modularity($self, /, labels=None)\n--\n\n"
     "The modularity of a division of the nodes into communities.\n\n"
     "Q = sum over communities c of e_c / m - (K_c / 2m)^2, with e_c the edges\n"
     "inside c, K_c the degrees summed over c and m the edges: the value\n"
     "``networkx.community.modularity`` gives. 0.0 for a graph without edges.\n\n"
     "Parameters\n"
     "----------\n"
     "labels : array_like of int, optional\n"
     "    One label per node; nodes with equal labels form a community. By\n"
     "    default, the communities of ``detect_communities()``.\n\n"
     "Returns\n"
     "-------\n"
     "float\n"
     "    The modularity, at most 1.\n\n"
     "Raises\n"
     "------\n"
     "ValueError\n"
     "    If ``labels`` does not hold exactly one label per node.\n"
     "TypeError\n"
     "    If ``labels`` are not integers (or hold values beyond int64)."},
};

}  // namespace

std::span<const PyMethodDef> visibility_graph_community_methods() { return community_methods; }

}  // namespace kaltrope::bindings
