#pragma once
// The Python class MotifCounts: the three-node motif counts of a graph.

#include "analysis/graph_motifs/three_node_motifs.hpp"
#include "bindings/common/python.hpp"

namespace kaltrope::bindings {

int add_motif_counts_class(PyObject* module);

// A new MotifCounts object; null with the error set.
PyObject* wrap_motif_counts(MotifCounts counts);

}  // namespace kaltrope::bindings
