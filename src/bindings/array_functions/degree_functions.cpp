// natural_visibility_degrees and horizontal_visibility_degrees.

#include "bindings/array_functions/degree_functions.hpp"

#include <optional>
#include <vector>

#include "bindings/common/variant_arguments.hpp"
#include "bindings/common/array_conversion.hpp"
#include "bindings/common/array_results.hpp"
#include "bindings/common/errors.hpp"
#include "bindings/common/method_table.hpp"
#include "bindings/common/numpy_api.hpp"
#include "bindings/common/py_ref.hpp"
#include "core/scalar_visibility/degree_entries.hpp"

namespace kaltrope::bindings {
namespace {

// y as one series, or as the rows of a 2-D array (read in place when it is
// C-contiguous float64, else converted once).
struct DegreeInput {
    std::optional<F64Vec> series;
    PyRef matrix;
    std::vector<Series> rows;
    std::size_t length = 0;
};

std::optional<DegreeInput> degree_input(PyObject* object) {
    if (!ensure_numpy()) return std::nullopt;
    PyRef array = PyRef::borrow(object);
    if (!PyArray_Check(object)) {
        array = as_contiguous_f64(object);
        if (!array) return std::nullopt;
    }
    DegreeInput input;
    auto* view = reinterpret_cast<PyArrayObject*>(array.get());
    if (PyArray_NDIM(view) != 2) {
        input.series = to_f64(array.get());
        if (!input.series) return std::nullopt;
        return input;
    }
    input.matrix =
        PyArray_ISCARRAY_RO(view) && PyArray_TYPE(view) == NPY_DOUBLE ? std::move(array) : as_contiguous_f64(object);
    if (!input.matrix) return std::nullopt;
    view = reinterpret_cast<PyArrayObject*>(input.matrix.get());
    const auto count = static_cast<std::size_t>(PyArray_DIM(view, 0));
    input.length = static_cast<std::size_t>(PyArray_DIM(view, 1));
    const auto* data = static_cast<const double*>(PyArray_DATA(view));
    for (std::size_t k = 0; k < count; ++k) input.rows.emplace_back(data + k * input.length, input.length);
    return input;
}

PyObject* degrees_to_numpy(std::expected<Degrees, InputError> degrees, const DegreeInput& input) {
    if (!degrees) return raise_error(degrees.error());
    if (input.series) return vector_to_numpy(std::move(*degrees), input.series->values().size());
    return int64_matrix_to_numpy(std::move(*degrees), input.rows.size(), input.length);
}

PyObject* natural_visibility_degrees(PyObject*, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"y", "x", "penetrable", "window", nullptr};
        PyObject* y_argument = nullptr;
        PyObject* x_argument = Py_None;
        PyObject* penetrable = nullptr;
        PyObject* window = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O|O$OO:natural_visibility_degrees",
                                         const_cast<char**>(keywords), &y_argument, &x_argument, &penetrable,
                                         &window)) {
            return nullptr;
        }
        const auto limits = limit_arguments(penetrable, window);
        if (!limits) return nullptr;
        const auto input = degree_input(y_argument);
        if (!input) return nullptr;
        std::optional<F64Vec> x;
        if (x_argument != Py_None) {
            x = to_f64(x_argument);
            if (!x) return nullptr;
        }
        const auto positions = x ? std::optional(x->values()) : std::nullopt;
        return degrees_to_numpy(without_lock([&] {
                                    if (input->series) {
                                        return checked_natural_degrees(input->series->values(), positions, *limits);
                                    }
                                    return natural_degree_rows(input->rows, input->length, positions, *limits);
                                }),
                                *input);
    });
}

PyObject* horizontal_visibility_degrees(PyObject*, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"y", "penetrable", "window", nullptr};
        PyObject* y_argument = nullptr;
        PyObject* penetrable = nullptr;
        PyObject* window = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O|$OO:horizontal_visibility_degrees",
                                         const_cast<char**>(keywords), &y_argument, &penetrable, &window)) {
            return nullptr;
        }
        const auto limits = limit_arguments(penetrable, window);
        if (!limits) return nullptr;
        const auto input = degree_input(y_argument);
        if (!input) return nullptr;
        return degrees_to_numpy(without_lock([&] {
                                    if (input->series) {
                                        return checked_horizontal_degrees(input->series->values(), *limits);
                                    }
                                    return horizontal_degree_rows(input->rows, *limits);
                                }),
                                *input);
    });
}

PyMethodDef degree_functions[] = {
    {
        "natural_visibility_degrees",
        method_pointer(natural_visibility_degrees),
        METH_VARARGS | METH_KEYWORDS,
        "natural_visibility_degrees(y, x=None, *, penetrable=0, window=None)\n--\n\n"
        "natural_visibility_degrees(y, x=None) -> ndarray[int64] of shape (n,) or (B, n)\n"
        "\n"
        "The degree of every sample in the natural visibility graph.\n"
        "\n"
        "Counts the edges of `natural_visibility_edges` with the same keywords\n"
        "without building the edge list: the memory beyond the input is the\n"
        "degrees themselves. A 2-D `y` is a batch of series of equal length,\n"
        "computed in parallel across rows.\n"
        "\n"
        "Parameters\n"
        "----------\n"
        "y : array_like of float, shape (n,) or (B, n)\n"
        "    One series, or B series as the rows of a 2-D array (read in place\n"
        "    when it is C-contiguous float64).\n"
        "x : array_like of float, shape (n,), optional\n"
        "    Strictly increasing, finite sample positions, shared by every row.\n"
        "    Default: 0, 1, ..., n-1.\n"
        "penetrable : int, optional\n"
        "    How many samples between a pair may lie on or above its line (default 0).\n"
        "window : int, optional\n"
        "    Only pairs at most this many samples apart (default None: all).\n"
        "\n"
        "Returns\n"
        "-------\n"
        "ndarray of int64, shape (n,) or (B, n)\n"
        "    ``np.bincount(natural_visibility_edges(y, ...).ravel(), minlength=n)``.\n"
        "\n"
        "Raises\n"
        "------\n"
        "ValueError\n"
        "    If `y` has a non-finite value, `x` is not finite and strictly\n"
        "    increasing or differs in length, or `penetrable` or `window` is out\n"
        "    of range.\n"
        "TypeError\n"
        "    If an argument has the wrong type.\n"
        "\n"
        "See Also\n"
        "--------\n"
        "natural_visibility_edges\n"
        "\n"
        "Examples\n"
        "--------\n"
        ">>> import kaltrope as kt\n"
        ">>> kt.natural_visibility_degrees([1.0, 3.0, 2.0, 4.0])\n"
        "array([1, 3, 2, 2])\n",
    },
    {
        "horizontal_visibility_degrees",
        method_pointer(horizontal_visibility_degrees),
        METH_VARARGS | METH_KEYWORDS,
        "horizontal_visibility_degrees(y, *, penetrable=0, window=None)\n--\n\n"
        "horizontal_visibility_degrees(y) -> ndarray[int64] of shape (n,) or (B, n)\n"
        "\n"
        "The degree of every sample in the horizontal visibility graph.\n"
        "\n"
        "Counts the edges of `horizontal_visibility_edges` with the same\n"
        "keywords without building the edge list. A 2-D `y` is a batch of\n"
        "series of equal length, computed in parallel across rows.\n"
        "\n"
        "Parameters\n"
        "----------\n"
        "y : array_like of float, shape (n,) or (B, n)\n"
        "    One series, or B series as the rows of a 2-D array.\n"
        "penetrable : int, optional\n"
        "    How many samples between a pair may reach the lower end (default 0).\n"
        "window : int, optional\n"
        "    Only pairs at most this many samples apart (default None: all).\n"
        "\n"
        "Returns\n"
        "-------\n"
        "ndarray of int64, shape (n,) or (B, n)\n"
        "\n"
        "Raises\n"
        "------\n"
        "ValueError\n"
        "    If `y` has a non-finite value, or `penetrable` or `window` is out\n"
        "    of range.\n"
        "TypeError\n"
        "    If an argument has the wrong type.\n"
        "\n"
        "See Also\n"
        "--------\n"
        "horizontal_visibility_edges\n"
        "\n"
        "Examples\n"
        "--------\n"
        ">>> import kaltrope as kt\n"
        ">>> kt.horizontal_visibility_degrees([1.0, 3.0, 2.0, 4.0])\n"
        "array([1, 3, 2, 2])\n",
    },
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

int add_degree_functions(PyObject* module) { return PyModule_AddFunctions(module, degree_functions); }

}  // namespace kaltrope::bindings
