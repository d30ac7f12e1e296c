#pragma once
// The Python class BuiltinFeature.

#include <optional>

#include "core/features/builtin/builtin_feature.hpp"
#include "bindings/common/python.hpp"

namespace kaltrope::bindings {

int add_builtin_feature_class(PyObject* module);

// The feature held by object; nothing with TypeError naming argument when
// object is no BuiltinFeature.
std::optional<BuiltinFeature> builtin_feature_argument(PyObject* object, const char* argument);

}  // namespace kaltrope::bindings
