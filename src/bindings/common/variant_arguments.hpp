#pragma once
// The keywords of the graph variants (penetrable=, window=, weight=,
// direction=) as core options, checked before any work: a negative,
// non-integer or (for window) zero count is ValueError naming the argument,
// an unknown name ValueError listing the accepted ones, a wrong type
// TypeError. Each returns nothing with the error set.

#include <optional>

#include "bindings/common/python.hpp"
#include "core/scalar_visibility/checked_entries.hpp"

namespace kaltrope::bindings {

// penetrable: an int >= 0; window: None or an int >= 1.
std::optional<VisibilityLimits> limit_arguments(PyObject* penetrable, PyObject* window);

// The limits, with weight (None or a name) and direction (a name).
std::optional<EdgeOptions> edge_option_arguments(PyObject* penetrable, PyObject* window, PyObject* weight,
                                                 PyObject* direction);

}  // namespace kaltrope::bindings
