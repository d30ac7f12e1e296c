#pragma once
// The Python class FeatureSet.

#include <optional>

#include "core/features/feature_set.hpp"
#include "bindings/common/python.hpp"

namespace kaltrope::bindings {

int add_feature_set_class(PyObject* module);

// The set held by object, moved out: object is left holding an empty set.
// Nothing with TypeError naming argument when object is no FeatureSet.
std::optional<FeatureSet> take_feature_set(PyObject* object, const char* argument);

}  // namespace kaltrope::bindings
