#include "bindings/common/variant_arguments.hpp"

#include <cstdint>
#include <limits>
#include <string_view>

#include "bindings/common/errors.hpp"
#include "bindings/common/py_ref.hpp"

namespace kaltrope::bindings {
namespace {

void type_error(const char* name, const char* expected, PyObject* object) {
    PyRef type = PyRef::steal(PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(object)), "__name__"));
    if (!type) return;
    PyErr_Format(PyExc_TypeError, "%s must be %s, not %S", name, expected, type.get());
}

// A whole number of at least minimum; values past 2^64 - 1 count as that.
// A bool is an int to Python, but never a count; other numbers (floats)
// are values of the wrong kind rather than of the wrong type.
std::optional<std::uint64_t> count_argument(PyObject* object, const char* name, long long minimum,
                                            const char* expected) {
    if (PyBool_Check(object) || !PyIndex_Check(object)) {
        if (!PyBool_Check(object) && PyNumber_Check(object)) {
            PyErr_Format(PyExc_ValueError, "%s must be %s, got %R", name, expected, object);
        } else {
            type_error(name, expected, object);
        }
        return std::nullopt;
    }
    PyRef index = PyRef::steal(PyNumber_Index(object));
    if (!index) return std::nullopt;
    int overflow = 0;
    const long long value = PyLong_AsLongLongAndOverflow(index.get(), &overflow);
    if (value == -1 && PyErr_Occurred()) return std::nullopt;
    if (overflow > 0) return std::numeric_limits<std::uint64_t>::max();
    if (overflow < 0 || value < minimum) {
        PyErr_Format(PyExc_ValueError, "%s must be %s, got %R", name, expected, index.get());
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(value);
}

template <class Option>
std::optional<Option> name_argument(PyObject* object, const char* name, const char* expected,
                                    const NameTable<Option>& table) {
    if (!PyUnicode_Check(object)) {
        type_error(name, expected, object);
        return std::nullopt;
    }
    PyRef bytes = PyRef::steal(PyUnicode_AsUTF8String(object));
    if (!bytes) return std::nullopt;
    return option_argument(table, std::string_view(PyBytes_AsString(bytes.get()), PyBytes_Size(bytes.get())));
}

}  // namespace

std::optional<VisibilityLimits> limit_arguments(PyObject* penetrable, PyObject* window) {
    VisibilityLimits limits;
    if (penetrable != nullptr) {
        const auto count = count_argument(penetrable, "penetrable", 0, "a non-negative int");
        if (!count) return std::nullopt;
        limits.penetrable = *count;
    }
    if (window != nullptr && window != Py_None) {
        limits.window = count_argument(window, "window", 1, "a positive int or None");
        if (!limits.window) return std::nullopt;
    }
    return limits;
}

std::optional<EdgeOptions> edge_option_arguments(PyObject* penetrable, PyObject* window, PyObject* weight,
                                                 PyObject* direction) {
    EdgeOptions options;
    const auto limits = limit_arguments(penetrable, window);
    if (!limits) return std::nullopt;
    options.limits = *limits;
    if (weight != nullptr && weight != Py_None) {
        options.weight = name_argument(weight, "weight", "a str or None", kEdgeWeightNames);
        if (!options.weight) return std::nullopt;
    }
    if (direction != nullptr) {
        const auto parsed = name_argument(direction, "direction", "a str", kEdgeDirectionNames);
        if (!parsed) return std::nullopt;
        options.direction = *parsed;
    }
    return options;
}

}  // namespace kaltrope::bindings
