#pragma once
// The Python class FeatureSet.

#include "integrations/python/python.hpp"

namespace kaltrope::python {

int add_feature_set_class(PyObject* module);

}  // namespace kaltrope::python
