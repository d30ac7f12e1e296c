#pragma once
// The class VisibilityStream.

#include "bindings/common/python.hpp"

namespace kaltrope::python_extra {

// Adds the class to module; -1 with the error set.
int add_visibility_stream(PyObject* module);

}  // namespace kaltrope::python_extra
