#pragma once
// visibility_motifs, the sequence motif counts of the array interface.

#include "bindings/common/python.hpp"

namespace kaltrope::bindings {

// Adds the functions to module; -1 with the error set.
int add_motif_functions(PyObject* module);

}  // namespace kaltrope::bindings
