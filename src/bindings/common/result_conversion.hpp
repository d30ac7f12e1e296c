#pragma once
// C++ results as new Python objects. Each returns null with the error set
// when the object cannot be made.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <iterator>

#include "bindings/common/py_ref.hpp"
#include "bindings/common/python.hpp"

namespace kaltrope::bindings {

inline PyObject* to_python(bool value) { return PyBool_FromLong(value); }
inline PyObject* to_python(double value) { return PyFloat_FromDouble(value); }
inline PyObject* to_python(std::size_t value) { return PyLong_FromSize_t(value); }
inline PyObject* to_python(std::uint32_t value) { return PyLong_FromUnsignedLong(value); }

// None for nothing.
template <class Value>
PyObject* to_python(const std::optional<Value>& value) {
    if (!value) Py_RETURN_NONE;
    return to_python(*value);
}

// A list of the values, in order.
template <class Values>
PyObject* to_python_list(const Values& values) {
    PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(std::size(values))));
    if (!list) return nullptr;
    for (std::size_t i = 0; i < std::size(values); ++i) {
        PyObject* item = to_python(values[i]);
        if (item == nullptr) return nullptr;
        PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item);  // steals item
    }
    return list.release();
}

}  // namespace kaltrope::bindings
