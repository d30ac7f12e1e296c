#pragma once
// The Python class TimeSeries.

#include "bindings/common/python.hpp"

namespace kaltrope::bindings {

int add_time_series_class(PyObject* module);

}  // namespace kaltrope::bindings
