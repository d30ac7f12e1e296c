#include "bindings/common/state_conversion.hpp"

#include "bindings/common/argument_conversion.hpp"
#include "bindings/common/errors.hpp"

namespace kaltrope::bindings {

PyRef checked_state_array(PyObject* object, int type, const char* what) {
    if (!ensure_numpy()) return {};
    auto* array = reinterpret_cast<PyArrayObject*>(object);
    if (!PyArray_Check(object) || PyArray_NDIM(array) != 1 || PyArray_TYPE(array) != type ||
        !PyArray_ISNOTSWAPPED(array)) {
        PyRef expected = PyRef::steal(reinterpret_cast<PyObject*>(PyArray_DescrFromType(type)));
        if (!expected) return {};
        PyErr_Format(PyExc_TypeError, "state: %s must be a 1-D %S array", what, expected.get());
        return {};
    }
    // An array handed over out of band may be strided or unaligned; a copy is neither.
    Py_INCREF(PyArray_DESCR(array));
    return PyRef::steal(PyArray_FromArray(array, PyArray_DESCR(array), NPY_ARRAY_IN_ARRAY));
}

bool check_state_version(PyObject* version, std::uint64_t expected, const char* class_name) {
    const auto found = state_count(version, "version");
    if (!found) return false;
    if (*found != expected) {
        PyErr_Format(PyExc_ValueError, "unsupported %s state version %llu", class_name,
                     static_cast<unsigned long long>(*found));
        return false;
    }
    return true;
}

std::optional<std::uint64_t> state_count(PyObject* object, const char* what) {
    if (!PyLong_Check(object) || PyBool_Check(object)) {
        PyErr_Format(PyExc_TypeError, "state: %s must be an int", what);
        return std::nullopt;
    }
    const unsigned long long value = PyLong_AsUnsignedLongLong(object);
    if (value == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
        PyErr_Clear();
        PyErr_Format(PyExc_ValueError, "state: %s out of range", what);
        return std::nullopt;
    }
    return value;
}

std::optional<std::optional<std::uint64_t>> state_optional_count(PyObject* object, const char* what) {
    if (object == Py_None) return std::optional<std::uint64_t>();
    const auto count = state_count(object, what);
    if (!count) return std::nullopt;
    return std::optional(*count);
}

std::optional<bool> state_bool(PyObject* object, const char* what) {
    if (!PyBool_Check(object)) {
        PyErr_Format(PyExc_TypeError, "state: %s must be a bool", what);
        return std::nullopt;
    }
    return object == Py_True;
}

std::optional<double> state_float(PyObject* object, const char* what) {
    if (!PyFloat_Check(object)) {
        PyErr_Format(PyExc_TypeError, "state: %s must be a float", what);
        return std::nullopt;
    }
    return PyFloat_AsDouble(object);
}

std::optional<std::string> state_string(PyObject* object, const char* what) {
    // Lone surrogates raise UnicodeEncodeError, a ValueError.
    return utf8_string(object, what);
}

std::optional<std::vector<PyObject*>> state_tuple(PyObject* object, Py_ssize_t count, const char* what) {
    if (!PyTuple_Check(object)) {
        PyErr_Format(PyExc_TypeError, "state: %s must be a tuple", what);
        return std::nullopt;
    }
    const Py_ssize_t size = PyTuple_Size(object);
    if (count >= 0 && size != count) {
        PyErr_Format(PyExc_TypeError, "state: %s must have %zd items, not %zd", what, count, size);
        return std::nullopt;
    }
    std::vector<PyObject*> items(static_cast<std::size_t>(size));
    for (Py_ssize_t i = 0; i < size; ++i) items[static_cast<std::size_t>(i)] = PyTuple_GetItem(object, i);
    return items;
}

PyObject* reduce_with(PyObject* self, std::uint64_t version, std::initializer_list<PyObject*> state) {
    PyRef arguments = PyRef::steal(PyTuple_New(static_cast<Py_ssize_t>(state.size() + 1)));
    Py_ssize_t at = 1;
    bool complete = static_cast<bool>(arguments);
    for (PyObject* item : state) {
        if (item == nullptr || !arguments) {
            Py_XDECREF(item);
            complete = false;
            continue;
        }
        PyTuple_SetItem(arguments.get(), at++, item);  // steals item
    }
    if (!complete) return nullptr;
    PyObject* version_object = PyLong_FromUnsignedLongLong(version);
    if (version_object == nullptr) return nullptr;
    PyTuple_SetItem(arguments.get(), 0, version_object);
    PyRef restore = PyRef::steal(PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(self)), "_restore"));
    if (!restore) return nullptr;
    return PyTuple_Pack(2, restore.get(), arguments.get());
}

}  // namespace kaltrope::bindings
