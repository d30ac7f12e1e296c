#pragma once
// The array functions of batches of scalar series.

#include "bindings/common/python.hpp"

namespace kaltrope::bindings {

// Adds the functions to module; -1 with the error set.
int add_batch_functions(PyObject* module);

}  // namespace kaltrope::bindings
