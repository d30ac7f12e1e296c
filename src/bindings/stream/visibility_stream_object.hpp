#pragma once
// The class VisibilityStream.

#include "bindings/common/python.hpp"

namespace kaltrope::bindings {

// Adds the class to module; -1 with the error set.
int add_visibility_stream_class(PyObject* module);

}  // namespace kaltrope::bindings
