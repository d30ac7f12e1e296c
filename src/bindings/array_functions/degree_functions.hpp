#pragma once
// natural_visibility_degrees and horizontal_visibility_degrees: the degree
// of every sample of one series or of every row of a 2-D array, without the
// edge list.

#include "bindings/common/python.hpp"

namespace kaltrope::bindings {

// Adds the functions to module; -1 with the error set.
int add_degree_functions(PyObject* module);

}  // namespace kaltrope::bindings
