#pragma once
// Error values become Python exceptions here, and no C++ exception crosses
// into the interpreter.

#include <exception>
#include <new>
#include <string_view>

#include "bindings/common/python.hpp"

namespace kaltrope::python {

// Each sets the exception and returns null, for `return to_value_error(...)`.
PyObject* to_value_error(std::string_view message);
PyObject* to_runtime_error(std::string_view message);

// Gives the exception being raised a cause: a new exception of cause_type
// with message (as `raise ... from cause` would).
void chain_cause(PyObject* cause_type, std::string_view message);

// Runs a binding body; an escaping C++ exception becomes a Python one
// (an allocation failure becomes MemoryError).
template <class Body>
PyObject* guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return PyErr_NoMemory();
    } catch (const std::exception& error) {
        return to_runtime_error(error.what());
    } catch (...) {
        return to_runtime_error("unexpected internal error");
    }
}

}  // namespace kaltrope::python
