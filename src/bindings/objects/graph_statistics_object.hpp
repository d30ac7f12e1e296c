#pragma once
// The Python class GraphStatistics.

#include "analysis/statistics/graph_statistics.hpp"
#include "bindings/common/python.hpp"

namespace kaltrope::bindings {

int add_graph_statistics_class(PyObject* module);

// A new GraphStatistics object holding statistics; null with the error set.
PyObject* wrap_statistics(GraphStatistics statistics);

}  // namespace kaltrope::bindings
