#pragma once
// How the stream and motif functions report an engine's input error.

#include "core/series/input.hpp"
#include "bindings/common/errors.hpp"

namespace kaltrope::python_extra {

// ValueError with the error's message; returns null.
inline PyObject* value_err(const InputError& error) { return python::to_value_error(error.message()); }

}  // namespace kaltrope::python_extra
