#include "bindings/array_functions/batch_driver.hpp"

#include <optional>
#include <vector>

#include "bindings/common/numpy_api.hpp"
#include "bindings/common/errors.hpp"
#include "bindings/common/py_ref.hpp"
#include "bindings/common/array_conversion.hpp"
#include "bindings/common/array_results.hpp"

namespace kaltrope::python_fast {
namespace {

// The rows of a batch, with the references that keep their data alive.
struct Rows {
    python::PyRef matrix;
    std::vector<F64Vec> converted;
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
    rows.matrix = PyArray_ISCARRAY_RO(array) ? python::PyRef::borrow(object) : as_contiguous_f64(object);
    if (!rows.matrix) return std::nullopt;
    array = reinterpret_cast<PyArrayObject*>(rows.matrix.get());
    const auto count = static_cast<std::size_t>(PyArray_DIM(array, 0));
    const auto length = static_cast<std::size_t>(PyArray_DIM(array, 1));
    const auto* data = static_cast<const double*>(PyArray_DATA(array));
    rows.series.reserve(count);
    for (std::size_t k = 0; k < count; ++k) rows.series.emplace_back(data + k * length, length);
    return rows;
}

// Any iterable: each item converted as a series of its own.
std::optional<Rows> iterated_rows(PyObject* object) {
    python::PyRef iterator = python::PyRef::steal(PyObject_GetIter(object));
    if (!iterator) return std::nullopt;
    Rows rows;
    while (python::PyRef item = python::PyRef::steal(PyIter_Next(iterator.get()))) {
        auto series = to_f64(item.get());
        if (!series) return std::nullopt;
        rows.series.push_back(series->values());
        rows.converted.push_back(std::move(*series));
    }
    if (PyErr_Occurred()) return std::nullopt;
    return rows;
}

}  // namespace

PyObject* run_batch_entry(PyObject* args, PyObject* kwargs, const char* format, BatchEngine engine) {
    return python::guarded([&]() -> PyObject* {
        static const char* keywords[] = {"rows", nullptr};
        PyObject* object = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, format, const_cast<char**>(keywords), &object)) {
            return nullptr;
        }
        if (!python::ensure_numpy()) return nullptr;
        auto rows = is_float64_matrix(object) ? matrix_rows(object) : iterated_rows(object);
        if (!rows) return nullptr;
        std::expected<BatchBuffer, InputError> result;
        {
            python::ThreadsReleased unlocked;
            if (auto series = engine(rows->series); !series) {
                result = std::unexpected(series.error());
            } else {
                result = widen_batch(*series);
            }
        }
        if (!result) return python::to_value_error(result.error().message());
        return batch_to_numpy(std::move(*result));
    });
}

}  // namespace kaltrope::python_fast
