#include "bindings/common/errors.hpp"

#include <cerrno>

#include "bindings/common/py_ref.hpp"

namespace kaltrope::bindings {
namespace {

PyObject* raise(PyObject* type, std::string_view message) {
    const std::string text(message);
    PyErr_SetString(type, text.c_str());
    return nullptr;
}

// Gives the exception being raised a cause: a new exception of cause_type
// with message (as `raise ... from cause` would).
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

PyObject* os_error_type(int error_number) {
    switch (error_number) {
        case ENOENT: return PyExc_FileNotFoundError;
        case EACCES:
        case EPERM: return PyExc_PermissionError;
        case EISDIR: return PyExc_IsADirectoryError;
        case ENOTDIR: return PyExc_NotADirectoryError;
    }
    return PyExc_OSError;
}

}  // namespace

PyObject* raise_value_error(std::string_view message) { return raise(PyExc_ValueError, message); }

PyObject* raise_runtime_error(std::string_view message) { return raise(PyExc_RuntimeError, message); }

// The handler's exception is already set; a call is stopped for no other reason.
PyObject* raise_interrupted() {
    if (PyErr_Occurred() != nullptr) return nullptr;
    return raise_runtime_error("call interrupted without a pending exception");
}

PyObject* raise_error(const InputError& error) { return raise_value_error(error.message()); }

PyObject* raise_error(const TimeSeriesError& error) { return raise_value_error(error.message()); }

// A file without rows is just empty; any other failure names its line.
PyObject* raise_error(const io::CsvImportError& error) {
    raise_value_error(error.message());
    if (error.kind != io::CsvImportError::Kind::NoRows) chain_cause(PyExc_ValueError, error.detail());
    return nullptr;
}

PyObject* raise_error(const GraphError& error) { return raise_runtime_error(error.message()); }

PyObject* raise_error(const ImputationError& error) { return raise_runtime_error(error.message()); }

PyObject* raise_error(const io::FileWriteError& error, PyObject* shown_path) {
    PyRef message = PyRef::steal(PyUnicode_FromFormat("%U: %s", shown_path, error.message().c_str()));
    if (!message) return nullptr;
    PyErr_SetObject(PyExc_RuntimeError, message.get());
    return nullptr;
}

// The exception carries the error number, as Python's own do.
PyObject* raise_error(const io::FileReadError& error, PyObject* shown_path) {
    PyRef message = PyRef::steal(PyUnicode_FromFormat("%U: %s", shown_path, error.message().c_str()));
    if (!message) return nullptr;
    PyObject* type = os_error_type(error.error_number);
    PyRef exception = PyRef::steal(PyObject_CallFunctionObjArgs(type, message.get(), nullptr));
    if (!exception) return nullptr;
    if (error.error_number != 0) {
        PyRef number = PyRef::steal(PyLong_FromLong(error.error_number));
        if (!number || PyObject_SetAttrString(exception.get(), "errno", number.get()) < 0) return nullptr;
    }
    PyErr_SetObject(type, exception.get());
    return nullptr;
}

}  // namespace kaltrope::bindings
