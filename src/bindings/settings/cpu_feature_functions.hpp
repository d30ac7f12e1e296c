#pragma once
// The module function cpu_features.

#include "bindings/common/python.hpp"

namespace kaltrope::bindings {

// Adds the function to module, and warns (RuntimeWarning) about names in the
// environment's KALTROPE_DISABLE_CPU_FEATURES that disable nothing; -1 with
// the error set.
int add_cpu_feature_functions(PyObject* module);

}  // namespace kaltrope::bindings
