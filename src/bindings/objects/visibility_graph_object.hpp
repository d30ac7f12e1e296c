#pragma once
// The Python class VisibilityGraph. Its methods live in one file per family
// (queries, metrics, features), listed in visibility_graph_methods.hpp.

#include <optional>
#include <span>

#include "core/graph/time_series_edges.hpp"
#include "core/features/feature_set.hpp"
#include "core/time_series/time_series.hpp"
#include "core/graph/visibility_graph.hpp"
#include "bindings/common/python.hpp"

namespace kaltrope::bindings {

int add_visibility_graph_class(PyObject* module);

// The graph held by a VisibilityGraph object.
const VisibilityGraph& graph_of(PyObject* self);

// A new VisibilityGraph object holding graph; null with the error set.
PyObject* wrap_graph(VisibilityGraph graph);

// A new VisibilityGraph object holding the graph of series, with the node
// features of feature_set when given, built without the interpreter lock;
// null with RuntimeError when the series has no graph.
PyObject* build_graph(const TimeSeries& series, std::optional<FeatureSet> feature_set, VisibilityKind kind,
                      const VisibilityLimits& limits = {});

// The same for the graph of plain values (not empty) at positions 0, 1, ...,
// without features, read in place.
PyObject* build_graph_of_values(std::span<const double> values, VisibilityKind kind,
                                const VisibilityLimits& limits = {});

}  // namespace kaltrope::bindings
