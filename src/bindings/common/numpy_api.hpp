#pragma once
// NumPy's C interface, shared by every binding file through one table that
// is fetched on first use, not at import.

#include "bindings/common/python.hpp"

#define PY_ARRAY_UNIQUE_SYMBOL kaltrope_numpy_api
#ifndef KALTROPE_OWNS_NUMPY_API
#define NO_IMPORT_ARRAY
#endif
#include <numpy/arrayobject.h>

namespace kaltrope::bindings {

// Fetches NumPy's C interface if not done yet; false with the error set.
bool ensure_numpy();

}  // namespace kaltrope::bindings
