// natural_visibility(values) and horizontal_visibility(values): a graph
// straight from an array, without a TimeSeries object.

#include "bindings/objects/graph_functions.hpp"

#include "core/time_series/time_series.hpp"
#include "bindings/common/class_support.hpp"
#include "bindings/common/method_table.hpp"
#include "bindings/common/errors.hpp"
#include "bindings/objects/visibility_graph_object.hpp"
#include "bindings/common/array_conversion.hpp"
#include "bindings/common/variant_arguments.hpp"

namespace kaltrope::bindings {
namespace {

PyObject* graph_of_values(PyObject* args, PyObject* kwargs, const char* format, VisibilityKind kind) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"values", "penetrable", "window", nullptr};
        PyObject* values_argument = nullptr;
        PyObject* penetrable = nullptr;
        PyObject* window = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, format, const_cast<char**>(keywords), &values_argument,
                                         &penetrable, &window)) {
            return nullptr;
        }
        const auto limits = limit_arguments(penetrable, window);
        if (!limits) return nullptr;
        const auto values = to_f64(values_argument);
        if (!values) return nullptr;
        if (values->values().empty()) return raise_error(TimeSeriesError{TimeSeriesError::Kind::Empty});
        // The converted array holds its data, so the graph is built from it without the lock.
        return build_graph_of_values(values->values(), kind, *limits);
    });
}

PyObject* natural_visibility(PyObject*, PyObject* args, PyObject* kwargs) {
    return graph_of_values(args, kwargs, "O|$OO:natural_visibility", VisibilityKind::Natural);
}

PyObject* horizontal_visibility(PyObject*, PyObject* args, PyObject* kwargs) {
    return graph_of_values(args, kwargs, "O|$OO:horizontal_visibility", VisibilityKind::Horizontal);
}

PyMethodDef functions[] = {
    {"natural_visibility", method_pointer(natural_visibility), METH_VARARGS | METH_KEYWORDS,
     "natural_visibility(values, *, penetrable=0, window=None)\n--\n\n"
     "Standalone function to create natural visibility graph from array\n"
     "\n"
     "Builds the natural visibility graph of `values` as a VisibilityGraph,\n"
     "without the interpreter lock.\n"
     "One node per sample; every edge weighs 1.0. Only present, finite\n"
     "samples take part: NaN and infinite samples are isolated nodes that\n"
     "neither see nor block others.\n"
     "On finite values its edges are those of `natural_visibility_edges`.\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "values : array_like of float, shape (n,)\n"
     "    The values, at positions 0, 1, ..., n-1; NaN and infinities allowed\n"
     "    (a scalar is a series of one sample).\n"
     "penetrable : int, optional\n"
     "    How many samples between a pair may fail the visibility test (default 0).\n"
     "window : int, optional\n"
     "    Only pairs at most this many samples apart (default None: all).\n"
     "\n"
     "Returns\n"
     "-------\n"
     "VisibilityGraph\n"
     "    The graph, with n nodes and no features.\n"
     "\n"
     "Raises\n"
     "------\n"
     "ValueError\n"
     "    If `values` is empty (\"Time series is empty\") or not 1-D, or\n"
     "    `penetrable` or `window` is out of range.\n"
     "TypeError\n"
     "    If `values` is missing or an argument has the wrong type.\n"
     "\n"
     "See Also\n"
     "--------\n"
     "TimeSeries.natural_visibility, natural_visibility_edges\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> graph = kt.natural_visibility([1.0, 3.0, 2.0, 4.0])\n"
     ">>> graph.edges()\n"
     "[(0, 1, 1.0), (1, 2, 1.0), (1, 3, 1.0), (2, 3, 1.0)]\n"},
    {"horizontal_visibility", method_pointer(horizontal_visibility), METH_VARARGS | METH_KEYWORDS,
     "horizontal_visibility(values, *, penetrable=0, window=None)\n--\n\n"
     "Standalone function to create horizontal visibility graph from array\n"
     "\n"
     "Builds the horizontal visibility graph of `values` as a VisibilityGraph,\n"
     "without the interpreter lock.\n"
     "One node per sample; every edge weighs 1.0. Only present, finite\n"
     "samples take part: NaN and infinite samples are isolated nodes that\n"
     "neither see nor block others.\n"
     "On finite values its edges are those of `horizontal_visibility_edges`.\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "values : array_like of float, shape (n,)\n"
     "    The values, at positions 0, 1, ..., n-1; NaN and infinities allowed\n"
     "    (a scalar is a series of one sample).\n"
     "penetrable : int, optional\n"
     "    How many samples between a pair may fail the visibility test (default 0).\n"
     "window : int, optional\n"
     "    Only pairs at most this many samples apart (default None: all).\n"
     "\n"
     "Returns\n"
     "-------\n"
     "VisibilityGraph\n"
     "    The graph, with n nodes and no features.\n"
     "\n"
     "Raises\n"
     "------\n"
     "ValueError\n"
     "    If `values` is empty (\"Time series is empty\") or not 1-D, or\n"
     "    `penetrable` or `window` is out of range.\n"
     "TypeError\n"
     "    If `values` is missing or an argument has the wrong type.\n"
     "\n"
     "See Also\n"
     "--------\n"
     "TimeSeries.horizontal_visibility, horizontal_visibility_edges\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> graph = kt.horizontal_visibility([1.0, 3.0, 2.0, 4.0])\n"
     ">>> graph.edges()\n"
     "[(0, 1, 1.0), (1, 2, 1.0), (1, 3, 1.0), (2, 3, 1.0)]\n"},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

int add_graph_functions(PyObject* module) { return PyModule_AddFunctions(module, functions); }

}  // namespace kaltrope::bindings
