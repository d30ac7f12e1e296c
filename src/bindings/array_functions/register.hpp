#pragma once
// The array interface of the module.

#include "bindings/common/python.hpp"

namespace kaltrope::python_fast {

extern const PyMethodDef natural_edges_method;
extern const PyMethodDef natural_plan_method;
extern const PyMethodDef horizontal_edges_method;
extern const PyMethodDef natural_batch_method;
extern const PyMethodDef horizontal_batch_method;
extern const PyMethodDef natural_vector_edges_method;
extern const PyMethodDef horizontal_vector_edges_method;
extern const PyMethodDef natural_vector_batch_method;
extern const PyMethodDef horizontal_vector_batch_method;

// Adds the array functions to module in their fixed order; -1 with the error set.
int register_functions(PyObject* module);

}  // namespace kaltrope::python_fast
