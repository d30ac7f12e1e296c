#pragma once
// The module functions natural_visibility and horizontal_visibility.

#include "integrations/python/python.hpp"

namespace kaltrope::python {

int add_graph_functions(PyObject* module);

}  // namespace kaltrope::python
