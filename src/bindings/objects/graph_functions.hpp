#pragma once
// The module functions natural_visibility and horizontal_visibility.

#include "bindings/common/python.hpp"

namespace kaltrope::bindings {

int add_graph_functions(PyObject* module);

}  // namespace kaltrope::bindings
