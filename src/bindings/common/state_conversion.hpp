#pragma once
// Saved states of objects, for pickling and copying: their buffers as NumPy
// arrays, and the strict readings of a state handed back for reconstruction.
// A state may come from anywhere, so every reading checks: a value of the
// wrong type raises TypeError, a wrong value ValueError, naming what it is.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "bindings/common/numpy_api.hpp"
#include "bindings/common/py_ref.hpp"

namespace kaltrope::bindings {

template <class T>
constexpr int numpy_type();
template <>
constexpr int numpy_type<double>() {
    return NPY_FLOAT64;
}
template <>
constexpr int numpy_type<std::uint64_t>() {
    return NPY_UINT64;
}
template <>
constexpr int numpy_type<std::uint32_t>() {
    return NPY_UINT32;
}
template <>
constexpr int numpy_type<std::uint8_t>() {
    return NPY_UINT8;
}

// A new one-dimensional array holding a copy of values.
template <class T>
PyObject* array_copy(std::span<const T> values) {
    if (!ensure_numpy()) return nullptr;
    npy_intp length = static_cast<npy_intp>(values.size());
    PyObject* array = PyArray_SimpleNew(1, &length, numpy_type<T>());
    if (array != nullptr && !values.empty()) {
        std::memcpy(PyArray_DATA(reinterpret_cast<PyArrayObject*>(array)), values.data(), values.size_bytes());
    }
    return array;
}

// A read-only one-dimensional array over values, which owner (an immutable
// object) keeps alive: pickled without a copy of its own.
template <class T>
PyObject* array_view(std::span<const T> values, PyObject* owner) {
    if (!ensure_numpy()) return nullptr;
    npy_intp length = static_cast<npy_intp>(values.size());
    PyRef array = PyRef::steal(PyArray_New(&PyArray_Type, 1, &length, numpy_type<T>(), nullptr,
                                           const_cast<T*>(values.data()), 0, NPY_ARRAY_C_CONTIGUOUS, nullptr));
    if (!array) return nullptr;
    Py_INCREF(owner);
    if (PyArray_SetBaseObject(reinterpret_cast<PyArrayObject*>(array.get()), owner) < 0) return nullptr;
    return array.release();
}

// The values of a state's one-dimensional NumPy array of exactly type T,
// kept alive by the reference it holds.
template <class T>
struct StateArray {
    PyRef array;
    std::span<const T> values;
};

// TypeError unless object is a 1-D array of T (other types are not converted:
// a state holds exactly the arrays it was saved with).
PyRef checked_state_array(PyObject* object, int type, const char* what);

template <class T>
std::optional<StateArray<T>> state_array(PyObject* object, const char* what) {
    PyRef array = checked_state_array(object, numpy_type<T>(), what);
    if (!array) return std::nullopt;
    auto* view = reinterpret_cast<PyArrayObject*>(array.get());
    const std::span<const T> values(static_cast<const T*>(PyArray_DATA(view)),
                                    static_cast<std::size_t>(PyArray_DIM(view, 0)));
    return StateArray<T>{std::move(array), values};
}

// True when version is the int expected; else ValueError naming the class
// ("unsupported TimeSeries state version 7") or TypeError.
bool check_state_version(PyObject* version, std::uint64_t expected, const char* class_name);

// A non-negative int below 2^64: TypeError for another type, ValueError out of range.
std::optional<std::uint64_t> state_count(PyObject* object, const char* what);
// The same, or None.
std::optional<std::optional<std::uint64_t>> state_optional_count(PyObject* object, const char* what);
// Exactly a bool, or exactly a float.
std::optional<bool> state_bool(PyObject* object, const char* what);
std::optional<double> state_float(PyObject* object, const char* what);
// A str, as UTF-8.
std::optional<std::string> state_string(PyObject* object, const char* what);
// The items of a tuple of exactly count items (any count for -1).
std::optional<std::vector<PyObject*>> state_tuple(PyObject* object, Py_ssize_t count, const char* what);

// A new reference to None, for an item of a state.
inline PyObject* none_item() {
    Py_INCREF(Py_None);
    return Py_None;
}

// The value of __reduce__: (type(self)._restore, (version, *state)); steals
// the items of state, null with the error set (releasing them) if one is null.
PyObject* reduce_with(PyObject* self, std::uint64_t version, std::initializer_list<PyObject*> state);

}  // namespace kaltrope::bindings
