#pragma once
// The Python class MissingDataStrategy.

#include "core/features/missing_data/missing_data_strategy.hpp"
#include "bindings/common/python.hpp"

namespace kaltrope::bindings {

int add_missing_data_strategy_class(PyObject* module);

// The strategy held by object; null with TypeError naming argument when
// object is no MissingDataStrategy.
const MissingDataStrategy* strategy_argument(PyObject* object, const char* argument);

}  // namespace kaltrope::bindings
