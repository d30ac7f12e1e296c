#define KALTROPE_OWNS_NUMPY_API
#include "bindings/common/numpy_api.hpp"

namespace kaltrope::bindings {

bool ensure_numpy() {
    if (PyArray_API != nullptr) return true;
    return _import_array() == 0;
}

}  // namespace kaltrope::bindings
