#pragma once
// The module's online and motif interface: VisibilityStream, then
// visibility_motifs.

#include "bindings/common/python.hpp"

namespace kaltrope::python_extra {

extern const PyMethodDef visibility_motifs_method;

// Adds the classes, then the functions, in their fixed order; -1 with the
// error set.
int register_functions(PyObject* module);

}  // namespace kaltrope::python_extra
