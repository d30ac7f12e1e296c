// natural_vector_visibility_edges, horizontal_vector_visibility_edges,
// natural_vector_visibility_batch and horizontal_vector_visibility_batch.

#include "bindings/array_functions/vector_functions.hpp"

#include <algorithm>
#include <optional>
#include <vector>

#include "bindings/common/array_conversion.hpp"
#include "bindings/common/array_results.hpp"
#include "bindings/common/errors.hpp"
#include "bindings/common/method_table.hpp"
#include "bindings/common/numpy_api.hpp"
#include "bindings/common/py_ref.hpp"
#include "core/vector_visibility/checked_vector_edges.hpp"
#include "core/vector_visibility/vector_visibility.hpp"

namespace kaltrope::bindings {
namespace {

using vector::RowMatrix;

// The caller's values, copied, so that nothing can change them while the
// interpreter lock is released.
struct OwnedValues {
    std::vector<double> values;
    std::vector<std::size_t> shape;
};

// numpy.ascontiguousarray(object, "float64") with one of the accepted numbers
// of dimensions, copied; nullopt with the error set.
std::optional<OwnedValues> owned_array(PyObject* object, std::initializer_list<int> dimensions,
                                       const char* shape_error) {
    if (!ensure_numpy()) return std::nullopt;
    PyRef converted = as_contiguous_f64(object);
    if (!converted) return std::nullopt;
    auto* array = reinterpret_cast<PyArrayObject*>(converted.get());
    if (!PyArray_Check(converted.get()) || PyArray_TYPE(array) != NPY_DOUBLE ||
        std::find(dimensions.begin(), dimensions.end(), PyArray_NDIM(array)) == dimensions.end()) {
        raise_value_error(shape_error);
        return std::nullopt;
    }
    OwnedValues owned;
    for (int axis = 0; axis < PyArray_NDIM(array); ++axis) {
        owned.shape.push_back(static_cast<std::size_t>(PyArray_DIM(array, axis)));
    }
    const auto* data = static_cast<const double*>(PyArray_DATA(array));
    owned.values.assign(data, data + PyArray_SIZE(array));
    return owned;
}

PyObject* vector_edges_entry(bool horizontal, PyObject* x_argument, PyObject* t_argument, const char* weight_text) {
    auto x = owned_array(x_argument, {1, 2}, "expected a 1-D or 2-D array of shape (time, features)");
    if (!x) return nullptr;
    // A one-dimensional series is T rows of one feature.
    const RowMatrix matrix{x->values.data(), x->values.size(), x->shape.size() == 1 ? 1 : x->shape[1]};
    std::optional<std::vector<double>> t;
    if (t_argument != nullptr && t_argument != Py_None) {
        auto converted = to_f64(t_argument);
        if (!converted) return nullptr;
        t.emplace(converted->values().begin(), converted->values().end());
    }
    std::optional<vector::VectorWeight> weight;
    if (weight_text != nullptr) {
        weight = option_argument(vector::kWeightNames, weight_text);
        if (!weight) return nullptr;
    }
    const std::optional<Series> positions = t ? std::optional(Series(*t)) : std::nullopt;
    auto result =
        without_lock([&] { return vector::checked_vector_edge_parts(horizontal, matrix, positions, weight); });
    if (!result) return raise_error(result.error());
    EdgeBuffer widened = without_lock([&] { return widen(result->parts); });
    const std::size_t count = widened.count;
    PyRef edges = PyRef::steal(edges_to_numpy(std::move(widened)));
    if (!edges || !weight) return edges.release();
    PyRef weights = PyRef::steal(float64_to_numpy(std::move(result->weights), count));
    if (!weights) return nullptr;
    return PyTuple_Pack(2, edges.get(), weights.get());
}

PyObject* natural_vector_visibility_edges(PyObject*, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"x", "t", "weight", nullptr};
        PyObject* x = nullptr;
        PyObject* t = nullptr;
        const char* weight = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O|Oz:natural_vector_visibility_edges",
                                         const_cast<char**>(keywords), &x, &t, &weight)) {
            return nullptr;
        }
        return vector_edges_entry(false, x, t, weight);
    });
}

PyObject* horizontal_vector_visibility_edges(PyObject*, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"x", "weight", nullptr};
        PyObject* x = nullptr;
        const char* weight = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O|z:horizontal_vector_visibility_edges",
                                         const_cast<char**>(keywords), &x, &weight)) {
            return nullptr;
        }
        return vector_edges_entry(true, x, nullptr, weight);
    });
}

using VectorBatchEngine = vector::VectorBatch (*)(std::span<const RowMatrix> windows);

PyObject* vector_batch_entry(PyObject* windows_argument, VectorBatchEngine engine) {
    auto windows = owned_array(windows_argument, {3}, "expected a 3-D array of shape (windows, time, features)");
    if (!windows) return nullptr;
    const std::size_t count = windows->shape[0];
    const std::size_t length = windows->shape[1] * windows->shape[2];
    std::vector<RowMatrix> views(count);
    for (std::size_t k = 0; k < count; ++k) views[k] = {windows->values.data() + k * length, length, windows->shape[2]};
    const auto edges = without_lock([&] { return engine(views); });
    if (!edges) return raise_error(edges.error());
    return batch_to_numpy(without_lock([&] { return widen_batch(*edges); }));
}

PyObject* natural_vector_visibility_batch(PyObject*, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"windows", nullptr};
        PyObject* windows = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O:natural_vector_visibility_batch",
                                         const_cast<char**>(keywords), &windows)) {
            return nullptr;
        }
        return vector_batch_entry(windows, vector::natural_vector_batch);
    });
}

PyObject* horizontal_vector_visibility_batch(PyObject*, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"windows", nullptr};
        PyObject* windows = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O:horizontal_vector_visibility_batch",
                                         const_cast<char**>(keywords), &windows)) {
            return nullptr;
        }
        return vector_batch_entry(windows, vector::horizontal_vector_batch);
    });
}

PyMethodDef vector_functions[] = {
    {
        "natural_vector_visibility_edges",
        method_pointer(natural_vector_visibility_edges),
        METH_VARARGS | METH_KEYWORDS,
        "natural_vector_visibility_edges(x, t=None, weight=None)\n--\n\n"
        "natural_vector_visibility_edges(X, t=None, weight=None)\n"
        "\n"
        "Natural vector visibility graph of a multivariate series `X` of shape\n"
        "(time, features); a 1-D `X` is one feature. Row b is visible from an\n"
        "earlier row a through the projections of the rows onto X_a. `t` are\n"
        "optional strictly increasing sample positions. Returns an (E, 2) int64\n"
        "array of edges `(a, b)`, a < b, sorted, or the pair `(edges, weights)`\n"
        "with one float64 weight per edge when `weight` is one of\n"
        "\"cosine_similarity\", \"time_diff_cosine_similarity\",\n"
        "\"euclidean_distance\", \"time_diff_euclidean_distance\",\n"
        "\"normalized_euclidean_distance\" or\n"
        "\"time_diff_normalized_euclidean_distance\".\n"
        "\n"
        "Row a sees a later row b when every row between them projects onto\n"
        "X_a strictly below the line through the projections of a and b. The\n"
        "projections are computed in floating point: a row within a few units\n"
        "of rounding of a line of sight may be decided either way.\n"
        "\n"
        "Parameters\n"
        "----------\n"
        "x : array_like of float, shape (time, features) or (time,)\n"
        "    The series (shown as `X` above); copied before the work starts.\n"
        "t : array_like of float, shape (time,), optional\n"
        "    Strictly increasing, finite sample positions. Default: 0, 1, ...\n"
        "weight : str, optional\n"
        "    None (default) for edges alone, or the weight of each edge:\n"
        "    \"cosine_similarity\", \"euclidean_distance\",\n"
        "    \"normalized_euclidean_distance\", or one of these prefixed by\n"
        "    \"time_diff_\" (e.g. \"time_diff_cosine_similarity\").\n"
        "\n"
        "Returns\n"
        "-------\n"
        "edges : ndarray of int64, shape (E, 2)\n"
        "    One row (a, b), a < b, per edge, sorted.\n"
        "weights : ndarray of float64, shape (E,)\n"
        "    Only when `weight` is given: the pair ``(edges, weights)`` is\n"
        "    returned, one weight per edge.\n"
        "\n"
        "Raises\n"
        "------\n"
        "ValueError\n"
        "    If `x` is not 1-D or 2-D, has no feature (\"x and y must have the same\n"
        "    length\") or a non-finite value, if `t` differs in length or is not\n"
        "    finite and strictly increasing, or if `weight` is unknown.\n"
        "TypeError\n"
        "    If `weight` is not a str or None.\n"
        "MemoryError\n"
        "    If the edges do not fit in memory.\n"
        "\n"
        "Examples\n"
        "--------\n"
        ">>> import kaltrope as kt\n"
        ">>> X = [[1.0, 0.0], [0.0, 1.0], [1.0, 1.0], [2.0, 0.0]]\n"
        ">>> kt.natural_vector_visibility_edges(X)\n"
        "array([[0, 1],\n"
        "       [0, 2],\n"
        "       [0, 3],\n"
        "       [1, 2],\n"
        "       [2, 3]])\n"
        ">>> edges, weights = kt.natural_vector_visibility_edges(X, weight=\"cosine_similarity\")\n"
        ">>> weights.shape\n"
        "(5,)\n",
    },
    {
        "horizontal_vector_visibility_edges",
        method_pointer(horizontal_vector_visibility_edges),
        METH_VARARGS | METH_KEYWORDS,
        "horizontal_vector_visibility_edges(x, weight=None)\n--\n\n"
        "horizontal_vector_visibility_edges(X, weight=None)\n"
        "\n"
        "Horizontal vector visibility graph of a multivariate series.\n"
        "\n"
        "Row a sees a later row b when every row between them projects onto\n"
        "X_a strictly below the projections of both a and b. The projections\n"
        "are computed in floating point.\n"
        "\n"
        "Parameters\n"
        "----------\n"
        "x : array_like of float, shape (time, features) or (time,)\n"
        "    The series (shown as `X` above); a 1-D `x` is one feature. Copied\n"
        "    before the work starts.\n"
        "weight : str, optional\n"
        "    None (default) for edges alone, or the weight of each edge:\n"
        "    \"cosine_similarity\", \"euclidean_distance\",\n"
        "    \"normalized_euclidean_distance\", or one of these prefixed by\n"
        "    \"time_diff_\" (e.g. \"time_diff_cosine_similarity\").\n"
        "\n"
        "Returns\n"
        "-------\n"
        "edges : ndarray of int64, shape (E, 2)\n"
        "    One row (a, b), a < b, per edge, sorted.\n"
        "weights : ndarray of float64, shape (E,)\n"
        "    Only when `weight` is given: the pair ``(edges, weights)`` is\n"
        "    returned, one weight per edge.\n"
        "\n"
        "Raises\n"
        "------\n"
        "ValueError\n"
        "    If `x` is not 1-D or 2-D, has no feature (\"x and y must have the same\n"
        "    length\") or a non-finite value, or if `weight` is unknown.\n"
        "TypeError\n"
        "    If `weight` is not a str or None.\n"
        "MemoryError\n"
        "    If the edges do not fit in memory.\n"
        "\n"
        "Examples\n"
        "--------\n"
        ">>> import kaltrope as kt\n"
        ">>> kt.horizontal_vector_visibility_edges([[1.0, 0.0], [0.0, 1.0], [1.0, 1.0], [2.0, 0.0]])\n"
        "array([[0, 1],\n"
        "       [0, 2],\n"
        "       [1, 2],\n"
        "       [2, 3]])\n",
    },
    {
        "natural_vector_visibility_batch",
        method_pointer(natural_vector_visibility_batch),
        METH_VARARGS | METH_KEYWORDS,
        "natural_vector_visibility_batch(windows)\n--\n\n"
        "natural_vector_visibility_batch(W) -> (edges (E, 2) int64, offsets (B+1,) int64)\n"
        "\n"
        "Natural VVGs of many windows `W` of shape (windows, time, features), in\n"
        "parallel. Edges of window k are `edges[offsets[k]:offsets[k+1]]`.\n"
        "\n"
        "Parameters\n"
        "----------\n"
        "windows : array_like of float, shape (B, time, features)\n"
        "    The windows (shown as `W` above), each a multivariate series;\n"
        "    copied before the work starts.\n"
        "\n"
        "Returns\n"
        "-------\n"
        "edges : ndarray of int64, shape (E, 2)\n"
        "    The edges of every window, window after window, each sorted, with\n"
        "    node indices local to their window.\n"
        "offsets : ndarray of int64, shape (B + 1,)\n"
        "    The edges of window k are ``edges[offsets[k]:offsets[k + 1]]``.\n"
        "\n"
        "Raises\n"
        "------\n"
        "ValueError\n"
        "    If `windows` is not 3-D or has a non-finite value.\n"
        "MemoryError\n"
        "    If the edges do not fit in memory.\n"
        "\n"
        "See Also\n"
        "--------\n"
        "natural_vector_visibility_edges\n"
        "\n"
        "Examples\n"
        "--------\n"
        ">>> import kaltrope as kt\n"
        ">>> X = [[1.0, 0.0], [0.0, 1.0], [1.0, 1.0], [2.0, 0.0]]\n"
        ">>> edges, offsets = kt.natural_vector_visibility_batch([X, X])\n"
        ">>> offsets\n"
        "array([ 0,  5, 10])\n",
    },
    {
        "horizontal_vector_visibility_batch",
        method_pointer(horizontal_vector_visibility_batch),
        METH_VARARGS | METH_KEYWORDS,
        "horizontal_vector_visibility_batch(windows)\n--\n\n"
        "horizontal_vector_visibility_batch(W) -> (edges, offsets)\n"
        "\n"
        "Horizontal vector visibility graphs of many windows in one call, in\n"
        "parallel across windows, without the interpreter lock.\n"
        "\n"
        "Parameters\n"
        "----------\n"
        "windows : array_like of float, shape (B, time, features)\n"
        "    The windows (shown as `W` above), each a multivariate series;\n"
        "    copied before the work starts.\n"
        "\n"
        "Returns\n"
        "-------\n"
        "edges : ndarray of int64, shape (E, 2)\n"
        "    The edges of every window, window after window, each sorted, with\n"
        "    node indices local to their window.\n"
        "offsets : ndarray of int64, shape (B + 1,)\n"
        "    The edges of window k are ``edges[offsets[k]:offsets[k + 1]]``.\n"
        "\n"
        "Raises\n"
        "------\n"
        "ValueError\n"
        "    If `windows` is not 3-D or has a non-finite value.\n"
        "MemoryError\n"
        "    If the edges do not fit in memory.\n"
        "\n"
        "See Also\n"
        "--------\n"
        "horizontal_vector_visibility_edges\n"
        "\n"
        "Examples\n"
        "--------\n"
        ">>> import kaltrope as kt\n"
        ">>> X = [[1.0, 0.0], [0.0, 1.0], [1.0, 1.0], [2.0, 0.0]]\n"
        ">>> edges, offsets = kt.horizontal_vector_visibility_batch([X, X])\n"
        ">>> offsets\n"
        "array([0, 4, 8])\n",
    },
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

int add_vector_functions(PyObject* module) { return PyModule_AddFunctions(module, vector_functions); }

}  // namespace kaltrope::bindings
