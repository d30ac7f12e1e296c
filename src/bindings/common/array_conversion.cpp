#include "bindings/common/array_conversion.hpp"

#include "bindings/common/numpy_api.hpp"
#include "bindings/common/errors.hpp"

namespace kaltrope::bindings {
namespace {

// The array itself when it can be read in place as float64 samples.
std::optional<F64Vec> in_place(PyObject* object) {
    if (!PyArray_Check(object)) return std::nullopt;
    auto* array = reinterpret_cast<PyArrayObject*>(object);
    if (PyArray_NDIM(array) != 1 || PyArray_TYPE(array) != NPY_DOUBLE) return std::nullopt;
    if (!PyArray_ISCARRAY_RO(array) && !PyArray_ISFARRAY_RO(array)) return std::nullopt;
    const auto* data = static_cast<const double*>(PyArray_DATA(array));
    return F64Vec(PyRef::borrow(object), Series(data, static_cast<std::size_t>(PyArray_DIM(array, 0))));
}

}  // namespace

PyRef as_contiguous_f64(PyObject* object) {
    if (!ensure_numpy()) return {};
    PyRef numpy = PyRef::steal(PyImport_ImportModule("numpy"));
    if (!numpy) return {};
    PyRef convert = PyRef::steal(PyObject_GetAttrString(numpy.get(), "ascontiguousarray"));
    if (!convert) return {};
    PyRef converted = PyRef::steal(PyObject_CallFunction(convert.get(), "Os", object, "float64"));
    // NumPy hands back a misaligned array unchanged; a copy of it is aligned.
    if (converted && PyArray_Check(converted.get()) &&
        !PyArray_ISALIGNED(reinterpret_cast<PyArrayObject*>(converted.get()))) {
        return PyRef::steal(PyObject_CallMethod(converted.get(), "copy", nullptr));
    }
    return converted;
}

std::optional<F64Vec> to_f64(PyObject* object) {
    if (!ensure_numpy()) return std::nullopt;
    if (auto series = in_place(object)) return series;
    PyRef converted = as_contiguous_f64(object);
    if (!converted) return std::nullopt;
    if (auto series = in_place(converted.get())) return series;
    raise_value_error("expected a 1-D array-like of numbers");
    return std::nullopt;
}

}  // namespace kaltrope::bindings
