#pragma once
// The Python class TimeSeries.

#include "integrations/python/python.hpp"

namespace kaltrope::python {

int add_time_series_class(PyObject* module);

}  // namespace kaltrope::python
