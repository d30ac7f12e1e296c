// The array functions of one series: natural_visibility_edges,
// natural_visibility_plan and horizontal_visibility_edges.

#include "bindings/array_functions/series_functions.hpp"

#include <optional>
#include <string>

#include "bindings/common/variant_arguments.hpp"
#include "bindings/common/array_conversion.hpp"
#include "bindings/common/array_results.hpp"
#include "bindings/common/errors.hpp"
#include "bindings/common/method_table.hpp"
#include "bindings/common/py_ref.hpp"
#include "core/scalar_visibility/checked_entries.hpp"

namespace kaltrope::bindings {
namespace {

PyObject* natural_visibility_edges(PyObject*, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"y", "x", "algorithm", "penetrable", "window", "weight", "direction", nullptr};
        PyObject* y_argument = nullptr;
        PyObject* x_argument = Py_None;
        const char* algorithm_text = "auto";
        PyObject* penetrable = nullptr;
        PyObject* window = nullptr;
        PyObject* weight = nullptr;
        PyObject* direction = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O|Os$OOOO:natural_visibility_edges",
                                         const_cast<char**>(keywords), &y_argument, &x_argument, &algorithm_text,
                                         &penetrable, &window, &weight, &direction)) {
            return nullptr;
        }
        const auto algorithm = option_argument(kAlgorithmNames, algorithm_text);
        if (!algorithm) return nullptr;
        auto options = edge_option_arguments(penetrable, window, weight, direction);
        if (!options) return nullptr;
        options->algorithm = *algorithm;
        auto y = to_f64(y_argument);
        if (!y) return nullptr;
        std::optional<F64Vec> x;
        if (x_argument != Py_None) {
            x = to_f64(x_argument);
            if (!x) return nullptr;
        }
        const std::optional<Series> positions = x ? std::optional(x->values()) : std::nullopt;
        if (!options->weight) {
            auto pairs = without_lock([&] { return checked_natural_pairs(y->values(), positions, *options); });
            if (!pairs) return raise_error(pairs.error());
            return edges_to_numpy(EdgeBuffer{std::move(pairs->pairs), pairs->count});
        }
        auto result = without_lock([&] { return checked_natural_edges(y->values(), positions, *options); });
        if (!result) return raise_error(result.error());
        EdgeBuffer edges = without_lock([&] { return widen(result->parts); });
        return weighted_edges_to_numpy(std::move(edges), std::move(result->weights));
    });
}

PyObject* plan_to_dict(const Plan& plan, std::size_t n) {
    PyRef dict = PyRef::steal(PyDict_New());
    if (!dict) return nullptr;
    const std::string_view name = name_of(kAlgorithmNames, plan.algorithm);
    const std::pair<const char*, PyRef> items[] = {
        {"algorithm", PyRef::steal(PyUnicode_FromStringAndSize(name.data(), std::ssize(name)))},
        {"scan_work", PyRef::steal(PyLong_FromUnsignedLongLong(plan.scan_work))},
        {"parallel", PyRef::steal(PyBool_FromLong(plan.parallel))},
        {"n", PyRef::steal(PyLong_FromSize_t(n))},
    };
    for (const auto& [key, value] : items) {
        if (!value || PyDict_SetItemString(dict.get(), key, value.get()) < 0) return nullptr;
    }
    return dict.release();
}

PyObject* natural_visibility_plan(PyObject*, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"y", nullptr};
        PyObject* y_argument = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O:natural_visibility_plan", const_cast<char**>(keywords),
                                         &y_argument)) {
            return nullptr;
        }
        auto y = to_f64(y_argument);
        if (!y) return nullptr;
        const auto plan = without_lock([&] { return checked_natural_plan(y->values()); });
        if (!plan) return raise_error(plan.error());
        return plan_to_dict(*plan, y->values().size());
    });
}

PyObject* horizontal_visibility_edges(PyObject*, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"y", "penetrable", "window", "weight", "direction", nullptr};
        PyObject* y_argument = nullptr;
        PyObject* penetrable = nullptr;
        PyObject* window = nullptr;
        PyObject* weight = nullptr;
        PyObject* direction = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O|$OOOO:horizontal_visibility_edges",
                                         const_cast<char**>(keywords), &y_argument, &penetrable, &window, &weight,
                                         &direction)) {
            return nullptr;
        }
        const auto options = edge_option_arguments(penetrable, window, weight, direction);
        if (!options) return nullptr;
        auto y = to_f64(y_argument);
        if (!y) return nullptr;
        if (!options->weight) {
            auto pairs = without_lock([&] { return checked_horizontal_pairs(y->values(), *options); });
            if (!pairs) return raise_error(pairs.error());
            return edges_to_numpy(EdgeBuffer{std::move(pairs->pairs), pairs->count});
        }
        auto result = without_lock([&] { return checked_horizontal_edges(y->values(), *options); });
        if (!result) return raise_error(result.error());
        EdgeBuffer edges = without_lock([&] { return widen(result->parts); });
        return weighted_edges_to_numpy(std::move(edges), std::move(result->weights));
    });
}

PyMethodDef series_functions[] = {
    {
        "natural_visibility_edges",
        method_pointer(natural_visibility_edges),
        METH_VARARGS | METH_KEYWORDS,
        "natural_visibility_edges(y, x=None, algorithm=\"auto\", *, penetrable=0, window=None, weight=None, "
        "direction=\"left_to_right\")\n--\n\n"
        "natural_visibility_edges(y, x=None) -> ndarray[int64] of shape (E, 2)\n"
        "\n"
        "Edges of the natural visibility graph of one series.\n"
        "\n"
        "Samples a < b see each other when every sample between them lies\n"
        "strictly below the straight line through (x[a], y[a]) and (x[b], y[b]).\n"
        "Every decision is exact for the doubles given. Large series are\n"
        "processed in parallel, without the interpreter lock.\n"
        "\n"
        "Parameters\n"
        "----------\n"
        "y : array_like of float, shape (n,)\n"
        "    The values. Any array-like that NumPy turns into a 1-D float64\n"
        "    array (a scalar is a series of one sample); a contiguous float64\n"
        "    array is read in place.\n"
        "x : array_like of float, shape (n,), optional\n"
        "    Strictly increasing, finite sample positions. Default: 0, 1, ..., n-1.\n"
        "algorithm : {\"auto\", \"scan\", \"hull\"}, optional\n"
        "    The engine. \"auto\" (default) measures the exact cost of the scan\n"
        "    in O(n) and picks the cheaper engine; \"scan\" forces the window scan\n"
        "    (divide and conquer); \"hull\" forces the output-sensitive\n"
        "    O((n + E) log\xc2\xb2 n) engine. All three return the same array.\n"
        "penetrable : int, optional\n"
        "    How many samples strictly between a pair may fail the strict test\n"
        "    (lie on or above the line through them) while the pair stays joined: the limited penetrable\n"
        "    graph. Default 0, the plain graph.\n"
        "window : int, optional\n"
        "    Only pairs (a, b) with b - a <= window (sample indices, whatever\n"
        "    the positions): exactly those pairs of the graph, at a cost that\n"
        "    falls with the window. Default None: every pair.\n"
        "weight : str, optional\n"
        "    None (default), or one weight per edge (p, q) as returned, from\n"
        "    dx = x[q] - x[p] and dy = y[q] - y[p]; x are the indices without positions: \"distance\"\n"
        "    (hypot(dx, dy)), \"sq_distance\" (dx*dx + dy*dy), \"v_distance\" (dy),\n"
        "    \"h_distance\" (dx), \"slope\" (dy / dx), \"angle\" (atan(dy / dx)),\n"
        "    and their absolute values \"abs_v_distance\", \"abs_h_distance\",\n"
        "    \"abs_slope\", \"abs_angle\".\n"
        "direction : {\"left_to_right\", \"top_to_bottom\"}, optional\n"
        "    \"left_to_right\" (default) writes pairs (a, b) with a < b;\n"
        "    \"top_to_bottom\" writes (higher sample, lower sample), equal\n"
        "    samples staying (a, b). The order of the rows does not change.\n"
        "\n"
        "Returns\n"
        "-------\n"
        "ndarray of int64, shape (E, 2)\n"
        "    One row (a, b), a < b, per edge, sample by sample: for each sample\n"
        "    its left edges nearest first, then its right edges nearest first,\n"
        "    each edge produced by its higher endpoint (the left one on a tie).\n"
        "    The order never depends on the number of threads, and limits keep\n"
        "    it: the rows are those of the plain order that remain.\n"
        "weights : ndarray of float64, shape (E,)\n"
        "    Only when `weight` is given: the pair ``(edges, weights)`` is\n"
        "    returned.\n"
        "\n"
        "Raises\n"
        "------\n"
        "ValueError\n"
        "    If `y` is not 1-D or has a non-finite value (\"non-finite value at\n"
        "    index 5\"), if `x` differs in length from `y` or is not finite and\n"
        "    strictly increasing, or if `algorithm` is unknown; raised before any\n"
        "    edge is computed.\n"
        "TypeError\n"
        "    If `algorithm` is not a str, or an argument is missing.\n"
        "MemoryError\n"
        "    If the edges do not fit in memory.\n"
        "\n"
        "See Also\n"
        "--------\n"
        "natural_visibility_plan : the engine \"auto\" would choose.\n"
        "natural_visibility_batch : many series in one call.\n"
        "natural_visibility : the same graph as a VisibilityGraph.\n"
        "\n"
        "Examples\n"
        "--------\n"
        ">>> import kaltrope as kt\n"
        ">>> kt.natural_visibility_edges([1.0, 3.0, 2.0, 4.0])\n"
        "array([[0, 1],\n"
        "       [1, 2],\n"
        "       [2, 3],\n"
        "       [1, 3]])\n"
        ">>> kt.natural_visibility_edges([1.0, 3.0, 2.0, 4.0], x=[0.0, 1.0, 2.0, 3.5]).shape\n"
        "(4, 2)\n",
    },
    {
        "natural_visibility_plan",
        method_pointer(natural_visibility_plan),
        METH_VARARGS | METH_KEYWORDS,
        "natural_visibility_plan(y)\n--\n\n"
        "natural_visibility_plan(y) -> dict(algorithm, scan_work, parallel, n)\n"
        "\n"
        "Which engine `natural_visibility_edges(y)` would choose, and why (O(n)).\n"
        "\n"
        "Computes no edge: it checks `y` and measures the exact cost of the\n"
        "scan engine.\n"
        "\n"
        "Parameters\n"
        "----------\n"
        "y : array_like of float, shape (n,)\n"
        "    The values, as for `natural_visibility_edges`.\n"
        "\n"
        "Returns\n"
        "-------\n"
        "dict\n"
        "    ``{\"algorithm\": str, \"scan_work\": int, \"parallel\": bool, \"n\": int}``:\n"
        "    the engine \"auto\" picks (\"scan\" or \"hull\"), the number of sight-line\n"
        "    tests the scan would make, whether the call would run in parallel,\n"
        "    and the number of samples.\n"
        "\n"
        "Raises\n"
        "------\n"
        "ValueError\n"
        "    If `y` is not 1-D or has a non-finite value.\n"
        "TypeError\n"
        "    If `y` is missing.\n"
        "\n"
        "See Also\n"
        "--------\n"
        "natural_visibility_edges\n"
        "\n"
        "Examples\n"
        "--------\n"
        ">>> import kaltrope as kt\n"
        ">>> kt.natural_visibility_plan([1.0, 3.0, 2.0, 4.0])\n"
        "{'algorithm': 'scan', 'scan_work': 5, 'parallel': False, 'n': 4}\n",
    },
    {
        "horizontal_visibility_edges",
        method_pointer(horizontal_visibility_edges),
        METH_VARARGS | METH_KEYWORDS,
        "horizontal_visibility_edges(y, *, penetrable=0, window=None, weight=None, direction=\"left_to_right\")\n--\n\n"
        "horizontal_visibility_edges(y) -> ndarray[int64] of shape (E, 2)\n"
        "\n"
        "Edges of the horizontal visibility graph of one series.\n"
        "\n"
        "Samples a < b see each other when every sample between them is\n"
        "strictly lower than both. Large series are processed in parallel,\n"
        "without the interpreter lock.\n"
        "\n"
        "Parameters\n"
        "----------\n"
        "y : array_like of float, shape (n,)\n"
        "    The values. Any array-like that NumPy turns into a 1-D float64\n"
        "    array (a scalar is a series of one sample); a contiguous float64\n"
        "    array is read in place.\n"
        "penetrable : int, optional\n"
        "    How many samples strictly between a pair may fail the strict test\n"
        "    (are not strictly lower than both) while the pair stays joined: the limited penetrable\n"
        "    graph. Default 0, the plain graph.\n"
        "window : int, optional\n"
        "    Only pairs (a, b) with b - a <= window (sample indices, whatever\n"
        "    the positions): exactly those pairs of the graph, at a cost that\n"
        "    falls with the window. Default None: every pair.\n"
        "weight : str, optional\n"
        "    None (default), or one weight per edge (p, q) as returned, from\n"
        "    dx = x[q] - x[p] and dy = y[q] - y[p]; x are the indices: \"distance\"\n"
        "    (hypot(dx, dy)), \"sq_distance\" (dx*dx + dy*dy), \"v_distance\" (dy),\n"
        "    \"h_distance\" (dx), \"slope\" (dy / dx), \"angle\" (atan(dy / dx)),\n"
        "    and their absolute values \"abs_v_distance\", \"abs_h_distance\",\n"
        "    \"abs_slope\", \"abs_angle\".\n"
        "direction : {\"left_to_right\", \"top_to_bottom\"}, optional\n"
        "    \"left_to_right\" (default) writes pairs (a, b) with a < b;\n"
        "    \"top_to_bottom\" writes (higher sample, lower sample), equal\n"
        "    samples staying (a, b). The order of the rows does not change.\n"
        "\n"
        "Returns\n"
        "-------\n"
        "ndarray of int64, shape (E, 2)\n"
        "    One row (a, b), a < b, per edge, ordered by b, then by a\n"
        "    descending.\n"
        "weights : ndarray of float64, shape (E,)\n"
        "    Only when `weight` is given: the pair ``(edges, weights)`` is\n"
        "    returned.\n"
        "\n"
        "Raises\n"
        "------\n"
        "ValueError\n"
        "    If `y` is not 1-D or has a non-finite value (\"non-finite value at\n"
        "    index 5\"), before any edge is computed.\n"
        "TypeError\n"
        "    If `y` is missing.\n"
        "MemoryError\n"
        "    If the edges do not fit in memory.\n"
        "\n"
        "See Also\n"
        "--------\n"
        "horizontal_visibility_batch : many series in one call.\n"
        "horizontal_visibility : the same graph as a VisibilityGraph.\n"
        "\n"
        "Examples\n"
        "--------\n"
        ">>> import kaltrope as kt\n"
        ">>> kt.horizontal_visibility_edges([1.0, 3.0, 2.0, 4.0])\n"
        "array([[0, 1],\n"
        "       [1, 2],\n"
        "       [2, 3],\n"
        "       [1, 3]])\n",
    },
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

int add_series_functions(PyObject* module) { return PyModule_AddFunctions(module, series_functions); }

}  // namespace kaltrope::bindings
