#include "integrations/python/py_error_helpers.hpp"

#include <string>

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

}  // namespace kaltrope::python
