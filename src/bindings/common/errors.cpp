#include "bindings/common/errors.hpp"

#include <string>

#include "bindings/common/py_ref.hpp"

namespace kaltrope::python {
namespace {

PyObject* raise(PyObject* type, std::string_view message) {
    const std::string text(message);
    PyErr_SetString(type, text.c_str());
    return nullptr;
}

}  // namespace

PyObject* to_value_error(std::string_view message) { return raise(PyExc_ValueError, message); }

PyObject* to_runtime_error(std::string_view message) { return raise(PyExc_RuntimeError, message); }

void chain_cause(PyObject* cause_type, std::string_view message) {
    PyObject* type = nullptr;
    PyObject* error = nullptr;
    PyObject* traceback = nullptr;
    PyErr_Fetch(&type, &error, &traceback);
    PyErr_NormalizeException(&type, &error, &traceback);
    PyRef text = PyRef::steal(PyUnicode_FromStringAndSize(message.data(), static_cast<Py_ssize_t>(message.size())));
    PyObject* cause = text ? PyObject_CallFunctionObjArgs(cause_type, text.get(), nullptr) : nullptr;
    if (cause == nullptr) {
        // The cause is only an aid; the exception itself is raised regardless.
        PyErr_Clear();
    } else if (error != nullptr) {
        PyException_SetCause(error, cause);  // steals cause
    } else {
        Py_DECREF(cause);
    }
    PyErr_Restore(type, error, traceback);
}

}  // namespace kaltrope::python
