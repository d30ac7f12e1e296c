#pragma once
// Batch entry points: take B series from a 2-D array or an iterable, run a
// batch engine on them without the interpreter lock, return (edges, offsets).

#include <span>

#include "core/scalar_visibility/batch.hpp"
#include "bindings/common/python.hpp"

namespace kaltrope::python_fast {

using BatchEngine = BatchEdges (*)(std::span<const Series> rows);

// Parses the single argument `rows` with format (naming the function in
// argument errors) and runs engine on the rows it holds.
PyObject* run_batch_entry(PyObject* args, PyObject* kwargs, const char* format, BatchEngine engine);

}  // namespace kaltrope::python_fast
