#pragma once
// The module functions get_num_threads and set_num_threads.

#include "bindings/common/python.hpp"

namespace kaltrope::bindings {

// Adds the functions to module, and warns (RuntimeWarning) when the
// environment's KALTROPE_NUM_THREADS was ignored; -1 with the error set.
int add_thread_functions(PyObject* module);

}  // namespace kaltrope::bindings
