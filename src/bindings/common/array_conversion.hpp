#pragma once
// Series arguments as contiguous float64 data.

#include <optional>

#include "core/series/input.hpp"
#include "bindings/common/py_ref.hpp"

namespace kaltrope::bindings {

// A converted series: a contiguous, aligned, native float64 array, either the
// caller's own (read in place) or one made by NumPy's conversion. Holds a
// reference, so the data outlives any release of the interpreter lock.
class F64Vec {
public:
    F64Vec(PyRef array, Series values) : array_(std::move(array)), values_(values) {}
    Series values() const { return values_; }

private:
    PyRef array_;
    Series values_;
};

// Anything NumPy can turn into a one-dimensional float64 array; nullopt with
// a Python error set otherwise.
std::optional<F64Vec> to_f64(PyObject* object);

// numpy.ascontiguousarray(object, "float64"); null with the error set.
PyRef as_contiguous_f64(PyObject* object);

}  // namespace kaltrope::bindings
