// The batch functions of the array interface: natural_visibility_batch and
// horizontal_visibility_batch take B series from a 2-D array or an iterable,
// run a batch engine on them without the interpreter lock and return
// (edges, offsets).

#include "bindings/array_functions/batch_functions.hpp"

#include <optional>
#include <span>
#include <vector>

#include "bindings/common/array_conversion.hpp"
#include "bindings/common/array_results.hpp"
#include "bindings/common/errors.hpp"
#include "bindings/common/method_table.hpp"
#include "bindings/common/numpy_api.hpp"
#include "bindings/common/py_ref.hpp"
#include "bindings/common/variant_arguments.hpp"
#include "core/scalar_visibility/batch_entries.hpp"

namespace kaltrope::bindings {
namespace {

// The rows of a batch, with the references (or copies) that keep their data
// alive.
struct Rows {
    PyRef matrix;
    std::vector<F64Vec> converted;
    std::vector<std::vector<double>> copied;
    std::vector<Series> series;
};

bool is_float64_matrix(PyObject* object) {
    if (!PyArray_Check(object)) return false;
    auto* array = reinterpret_cast<PyArrayObject*>(object);
    return PyArray_NDIM(array) == 2 && PyArray_TYPE(array) == NPY_DOUBLE;
}

// A (B, n) float64 array: read in place when C-contiguous, otherwise copied
// once into C order.
std::optional<Rows> matrix_rows(PyObject* object) {
    Rows rows;
    auto* array = reinterpret_cast<PyArrayObject*>(object);
    rows.matrix = PyArray_ISCARRAY_RO(array) ? PyRef::borrow(object) : as_contiguous_f64(object);
    if (!rows.matrix) return std::nullopt;
    array = reinterpret_cast<PyArrayObject*>(rows.matrix.get());
    const auto count = static_cast<std::size_t>(PyArray_DIM(array, 0));
    const auto length = static_cast<std::size_t>(PyArray_DIM(array, 1));
    const auto* data = static_cast<const double*>(PyArray_DATA(array));
    rows.series.reserve(count);
    for (std::size_t k = 0; k < count; ++k) rows.series.emplace_back(data + k * length, length);
    return rows;
}

// Any iterable: each item converted as a series of its own. The items of a
// list or tuple are all there before the call and are read in place; those of
// any other iterable are copied as they come, as the iterator may hand out
// the same buffer again, refilled, or a view into one it reuses.
std::optional<Rows> iterated_rows(PyObject* object) {
    const bool items_stay = PyList_CheckExact(object) || PyTuple_CheckExact(object);
    PyRef iterator = PyRef::steal(PyObject_GetIter(object));
    if (!iterator) return std::nullopt;
    Rows rows;
    while (PyRef item = PyRef::steal(PyIter_Next(iterator.get()))) {
        auto series = to_f64(item.get());
        if (!series) return std::nullopt;
        if (items_stay) {
            rows.series.push_back(series->values());
            rows.converted.push_back(std::move(*series));
        } else {
            const Series values = series->values();
            rows.copied.emplace_back(values.begin(), values.end());
            rows.series.emplace_back(rows.copied.back());
        }
    }
    if (PyErr_Occurred()) return std::nullopt;
    return rows;
}

using BatchEngine = std::expected<BatchEdgeResult, InputError> (*)(std::span<const Series> rows, const EdgeOptions& options);

// Takes `rows` and the keywords of the variants with format (naming the
// function in argument errors) and runs engine on the series it holds.
PyObject* run_batch_entry(PyObject* args, PyObject* kwargs, const char* format, BatchEngine engine) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"rows", "penetrable", "window", "weight", "direction", nullptr};
        PyObject* object = nullptr;
        PyObject* penetrable = nullptr;
        PyObject* window = nullptr;
        PyObject* weight = nullptr;
        PyObject* direction = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, format, const_cast<char**>(keywords), &object, &penetrable,
                                         &window, &weight, &direction)) {
            return nullptr;
        }
        const auto options = edge_option_arguments(penetrable, window, weight, direction);
        if (!options) return nullptr;
        if (!ensure_numpy()) return nullptr;
        auto rows = is_float64_matrix(object) ? matrix_rows(object) : iterated_rows(object);
        if (!rows) return nullptr;
        auto result = without_lock([&] { return engine(rows->series, *options); });
        if (!result) return raise_error(result.error());
        BatchBuffer batch = without_lock([&] { return widen_batch(result->edges); });
        return weighted_batch_to_numpy(std::move(batch), std::move(result->weights));
    });
}

PyObject* natural_visibility_batch(PyObject*, PyObject* args, PyObject* kwargs) {
    return run_batch_entry(args, kwargs, "O|$OOOO:natural_visibility_batch", natural_batch_edges);
}

PyObject* horizontal_visibility_batch(PyObject*, PyObject* args, PyObject* kwargs) {
    return run_batch_entry(args, kwargs, "O|$OOOO:horizontal_visibility_batch", horizontal_batch_edges);
}

PyMethodDef batch_functions[] = {
    {
        "natural_visibility_batch",
        method_pointer(natural_visibility_batch),
        METH_VARARGS | METH_KEYWORDS,
        "natural_visibility_batch(rows, *, penetrable=0, window=None, weight=None, direction=\"left_to_right\")\n--\n\n"
        "natural_visibility_batch(Y) -> (edges (E, 2) int64, offsets (B+1,) int64)\n"
        "\n"
        "Natural visibility graphs of many independent series in one call, in\n"
        "parallel. `Y` is a (B, n) array or an iterable of 1-D arrays (ragged\n"
        "lengths allowed). Edges of series `k` are `edges[offsets[k]:offsets[k+1]]`\n"
        "with node indices local to that series.\n"
        "\n"
        "Parameters\n"
        "----------\n"
        "rows : array_like\n"
        "    The series (shown as `Y` above): a (B, n) array, read in place when\n"
        "    it is a C-contiguous float64 array, or any iterable of 1-D\n"
        "    array-likes, whose lengths may differ.\n"
        "penetrable, window, weight, direction : optional\n"
        "    As for the function of one series, applied to every series (at\n"
        "    positions 0, 1, ...).\n"
        "\n"
        "Returns\n"
        "-------\n"
        "edges : ndarray of int64, shape (E, 2)\n"
        "    The edges of every series, series after series, each in the order\n"
        "    of `natural_visibility_edges`, with node indices local to their series.\n"
        "offsets : ndarray of int64, shape (B + 1,)\n"
        "    The edges of series k are ``edges[offsets[k]:offsets[k + 1]]``.\n"
        "weights : ndarray of float64, shape (E,)\n"
        "    Only when `weight` is given: ``(edges, offsets, weights)`` is\n"
        "    returned, one weight per edge.\n"
        "\n"
        "Raises\n"
        "------\n"
        "ValueError\n"
        "    If a series is not 1-D or has a non-finite value.\n"
        "TypeError\n"
        "    If `rows` is neither a 2-D float64 array nor iterable.\n"
        "MemoryError\n"
        "    If the edges do not fit in memory.\n"
        "\n"
        "See Also\n"
        "--------\n"
        "natural_visibility_edges\n"
        "\n"
        "Examples\n"
        "--------\n"
        ">>> import kaltrope as kt\n"
        ">>> edges, offsets = kt.natural_visibility_batch([[1.0, 3.0, 2.0, 4.0], [2.0, 1.0]])\n"
        ">>> offsets\n"
        "array([0, 4, 5])\n"
        ">>> edges[offsets[1]:offsets[2]]\n"
        "array([[0, 1]])\n",
    },
    {
        "horizontal_visibility_batch",
        method_pointer(horizontal_visibility_batch),
        METH_VARARGS | METH_KEYWORDS,
        "horizontal_visibility_batch(rows, *, penetrable=0, window=None, weight=None, "
        "direction=\"left_to_right\")\n--\n\n"
        "horizontal_visibility_batch(Y) -> (edges (E, 2) int64, offsets (B+1,) int64)\n"
        "\n"
        "Horizontal visibility graphs of many independent series in one call,\n"
        "in parallel across series, without the interpreter lock.\n"
        "\n"
        "Parameters\n"
        "----------\n"
        "rows : array_like\n"
        "    The series (shown as `Y` above): a (B, n) array, read in place when\n"
        "    it is a C-contiguous float64 array, or any iterable of 1-D\n"
        "    array-likes, whose lengths may differ.\n"
        "penetrable, window, weight, direction : optional\n"
        "    As for the function of one series, applied to every series (at\n"
        "    positions 0, 1, ...).\n"
        "\n"
        "Returns\n"
        "-------\n"
        "edges : ndarray of int64, shape (E, 2)\n"
        "    The edges of every series, series after series, each in the order\n"
        "    of `horizontal_visibility_edges`, with node indices local to their series.\n"
        "offsets : ndarray of int64, shape (B + 1,)\n"
        "    The edges of series k are ``edges[offsets[k]:offsets[k + 1]]``.\n"
        "weights : ndarray of float64, shape (E,)\n"
        "    Only when `weight` is given: ``(edges, offsets, weights)`` is\n"
        "    returned, one weight per edge.\n"
        "\n"
        "Raises\n"
        "------\n"
        "ValueError\n"
        "    If a series is not 1-D or has a non-finite value.\n"
        "TypeError\n"
        "    If `rows` is neither a 2-D float64 array nor iterable.\n"
        "MemoryError\n"
        "    If the edges do not fit in memory.\n"
        "\n"
        "See Also\n"
        "--------\n"
        "horizontal_visibility_edges\n"
        "\n"
        "Examples\n"
        "--------\n"
        ">>> import kaltrope as kt\n"
        ">>> edges, offsets = kt.horizontal_visibility_batch([[1.0, 3.0, 2.0, 4.0], [2.0, 1.0]])\n"
        ">>> offsets\n"
        "array([0, 4, 5])\n"
        ">>> edges[offsets[1]:offsets[2]]\n"
        "array([[0, 1]])\n",
    },
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

int add_batch_functions(PyObject* module) { return PyModule_AddFunctions(module, batch_functions); }

}  // namespace kaltrope::bindings
