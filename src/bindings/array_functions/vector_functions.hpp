#pragma once
// The vector visibility functions of the array interface.

#include "bindings/common/python.hpp"

namespace kaltrope::bindings {

// Adds the functions to module; -1 with the error set.
int add_vector_functions(PyObject* module);

}  // namespace kaltrope::bindings
