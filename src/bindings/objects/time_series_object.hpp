#pragma once
// The Python class TimeSeries.

#include "bindings/common/python.hpp"

namespace kaltrope::python {

int add_time_series_class(PyObject* module);

}  // namespace kaltrope::python
