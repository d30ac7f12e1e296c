#include "bindings/common/argument_conversion.hpp"

#include "bindings/common/numpy_api.hpp"
#include "bindings/common/py_ref.hpp"
#include "bindings/common/array_conversion.hpp"

namespace kaltrope::bindings {
namespace {

std::string name_of_type(PyTypeObject* type) {
    PyRef name = PyRef::steal(PyObject_GetAttrString(reinterpret_cast<PyObject*>(type), "__name__"));
    PyRef bytes = name && PyUnicode_Check(name.get()) ? PyRef::steal(PyUnicode_AsUTF8String(name.get())) : PyRef();
    if (!bytes) {
        PyErr_Clear();
        return "object";
    }
    return PyBytes_AsString(bytes.get());
}

void argument_type_error(const char* argument, const char* message) {
    PyErr_Format(PyExc_TypeError, "argument '%s': %s", argument, message);
}

void cannot_convert(PyObject* object, const std::string& target, const char* argument) {
    PyErr_Format(PyExc_TypeError, "argument '%s': '%s' object cannot be converted to '%s'", argument,
                 name_of_type(Py_TYPE(object)).c_str(), target.c_str());
}

// A TypeError raised while converting the argument is raised again with the
// argument's name in front; other errors pass unchanged.
void name_the_argument(const char* argument) {
    if (!PyErr_ExceptionMatches(PyExc_TypeError)) return;
    PyObject* type = nullptr;
    PyObject* value = nullptr;
    PyObject* traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    PyErr_NormalizeException(&type, &value, &traceback);
    PyRef owned_type = PyRef::steal(type);
    PyRef owned_value = PyRef::steal(value);
    PyRef owned_traceback = PyRef::steal(traceback);
    PyRef text = PyRef::steal(PyObject_Str(owned_value.get()));
    if (!text) return;
    PyErr_Format(PyExc_TypeError, "argument '%s': %U", argument, text.get());
}

std::optional<double> float_item(PyObject* item) {
    const double value = PyFloat_AsDouble(item);
    if (value == -1.0 && PyErr_Occurred()) return std::nullopt;
    return value;
}

std::optional<Sample> sample_item(PyObject* item) {
    if (item == Py_None) return Sample();
    const auto value = float_item(item);
    if (!value) return std::nullopt;
    return Sample(*value);
}

// Items one at a time, the way any sequence of numbers is read.
template <class Item, class Convert>
std::optional<std::vector<Item>> items_of(PyObject* object, const char* argument, Convert convert) {
    if (PyUnicode_Check(object)) {
        argument_type_error(argument, "Can't extract `str` to `Vec`");
        return std::nullopt;
    }
    if (!PySequence_Check(object)) {
        cannot_convert(object, "Sequence", argument);
        return std::nullopt;
    }
    std::vector<Item> items;
    // The length only sizes the result; a sequence that cannot tell is read anyway.
    if (const Py_ssize_t size = PySequence_Size(object); size >= 0) {
        items.reserve(static_cast<std::size_t>(size));
    } else {
        PyErr_Clear();
    }
    PyRef iterator = PyRef::steal(PyObject_GetIter(object));
    if (!iterator) {
        name_the_argument(argument);
        return std::nullopt;
    }
    while (PyRef item = PyRef::steal(PyIter_Next(iterator.get()))) {
        auto value = convert(item.get());
        if (!value) {
            name_the_argument(argument);
            return std::nullopt;
        }
        items.push_back(*value);
    }
    if (PyErr_Occurred()) {
        name_the_argument(argument);
        return std::nullopt;
    }
    return items;
}

// A plain one-dimensional NumPy array of booleans, integers or floats, which
// converts as a whole to the values its items give one by one.
bool is_numeric_vector(PyObject* object) {
    if (!PyArray_CheckExact(object)) return false;
    auto* array = reinterpret_cast<PyArrayObject*>(object);
    const int type = PyArray_TYPE(array);
    return PyArray_NDIM(array) == 1 && (PyTypeNum_ISBOOL(type) || PyTypeNum_ISINTEGER(type) || PyTypeNum_ISFLOAT(type));
}

template <class Item>
std::optional<std::vector<Item>> numeric_vector(PyObject* object) {
    const auto converted = to_f64(object);
    if (!converted) return std::nullopt;
    const Series values = converted->values();
    return std::vector<Item>(values.begin(), values.end());
}

}  // namespace

std::optional<std::vector<double>> float_sequence(PyObject* object, const char* argument) {
    if (!ensure_numpy()) return std::nullopt;
    if (is_numeric_vector(object)) return numeric_vector<double>(object);
    return items_of<double>(object, argument, float_item);
}

std::optional<std::vector<Sample>> sample_sequence(PyObject* object, const char* argument) {
    if (!ensure_numpy()) return std::nullopt;
    if (is_numeric_vector(object)) return numeric_vector<Sample>(object);
    return items_of<Sample>(object, argument, sample_item);
}

std::optional<bool> boolean(PyObject* object, const char* argument) {
    if (PyBool_Check(object)) return object == Py_True;
    if (!ensure_numpy()) return std::nullopt;
    if (PyArray_IsScalar(object, Bool)) return PyObject_IsTrue(object) == 1;
    cannot_convert(object, "PyBool", argument);
    return std::nullopt;
}

std::optional<std::string> utf8_string(PyObject* object, const char* argument) {
    if (!PyUnicode_Check(object)) {
        cannot_convert(object, "str", argument);
        return std::nullopt;
    }
    PyRef bytes = PyRef::steal(PyUnicode_AsUTF8String(object));
    if (!bytes) return std::nullopt;
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(bytes.get(), &data, &size) < 0) return std::nullopt;
    return std::string(data, static_cast<std::size_t>(size));
}

std::optional<std::size_t> unsigned_size(PyObject* object, const char* argument) {
    PyRef index = PyRef::steal(PyNumber_Index(object));
    if (!index) {
        name_the_argument(argument);
        return std::nullopt;
    }
    const std::size_t value = PyLong_AsSize_t(index.get());
    if (value == static_cast<std::size_t>(-1) && PyErr_Occurred()) return std::nullopt;
    return value;
}

std::optional<FilePath> file_path(PyObject* object, const char* argument) {
    PyRef path = PyRef::steal(PyOS_FSPath(object));
    if (!path) {
        name_the_argument(argument);
        return std::nullopt;
    }
    const bool given_as_bytes = PyBytes_Check(path.get());
    PyRef encoded = given_as_bytes ? PyRef::borrow(path.get()) : PyRef::steal(PyUnicode_EncodeFSDefault(path.get()));
    if (!encoded) return std::nullopt;
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(encoded.get(), &data, &size) < 0) return std::nullopt;
    FilePath converted{std::string(data, static_cast<std::size_t>(size)),
                       given_as_bytes ? PyRef::steal(PyUnicode_DecodeFSDefaultAndSize(data, size)) : std::move(path)};
    if (!converted.shown) return std::nullopt;
    if (converted.encoded.find('\0') != std::string::npos) {
        PyErr_SetString(PyExc_ValueError, "embedded null byte");
        return std::nullopt;
    }
    return converted;
}

bool has_type(PyObject* object, PyTypeObject* type, const char* argument) {
    if (PyObject_TypeCheck(object, type)) return true;
    cannot_convert(object, name_of_type(type), argument);
    return false;
}

}  // namespace kaltrope::bindings
