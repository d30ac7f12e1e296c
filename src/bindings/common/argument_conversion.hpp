#pragma once
// Arguments of the object interface as C++ values. Each returns nothing with
// a Python error set when the argument does not convert; type errors name
// the argument: "argument 'values': ...".

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/time_series/sample.hpp"
#include "bindings/common/py_ref.hpp"
#include "bindings/common/python.hpp"

namespace kaltrope::bindings {

// A sequence of numbers (list, tuple, NumPy array, ...), read item by item;
// a str is refused with "Can't extract `str` to `Vec`".
std::optional<std::vector<double>> float_sequence(PyObject* object, const char* argument);

// The same, with None for a missing sample.
std::optional<std::vector<Sample>> sample_sequence(PyObject* object, const char* argument);

// A bool (Python's or NumPy's); other objects are refused rather than
// taken by their truth value.
std::optional<bool> boolean(PyObject* object, const char* argument);

// A str, as UTF-8.
std::optional<std::string> utf8_string(PyObject* object, const char* argument);

// An int (or an object with __index__) that fits an unsigned size; a
// negative one raises the interpreter's OverflowError.
std::optional<std::size_t> unsigned_size(PyObject* object, const char* argument);

// A file system path given as str, bytes or os.PathLike.
struct FilePath {
    std::string encoded;  // in the file system's encoding, for the system calls
    PyRef shown;          // as a str, for messages
};
std::optional<FilePath> file_path(PyObject* object, const char* argument);

// True when object is an instance of type; else false with TypeError
// "argument 'x': 'str' object cannot be converted to 'Type'".
bool has_type(PyObject* object, PyTypeObject* type, const char* argument);

}  // namespace kaltrope::bindings
