// The Python class VisibilityStream: an online visibility graph of any kind.

#include "bindings/stream/visibility_stream_object.hpp"

#include <algorithm>
#include <optional>
#include <string>

#include "bindings/common/array_conversion.hpp"
#include "bindings/common/array_results.hpp"
#include "bindings/common/class_support.hpp"
#include "bindings/common/method_table.hpp"
#include "bindings/common/errors.hpp"
#include "bindings/common/numpy_api.hpp"
#include "bindings/common/py_ref.hpp"
#include "core/stream/any_stream.hpp"

namespace kaltrope::bindings {
namespace {

struct StreamState {
    AnyStream stream;
    // 0: free; > 0: that many readers; -1: a mutating call is running.
    int borrows = 0;
};

StreamState& state_of(PyObject* self) { return held<StreamState>(self); }

// Holds the stream for one call, shared (reading) or exclusively (mutating).
// A call on a stream that is already held exclusively, or an exclusive call
// on one that is held at all, can only come from re-entrant use and fails.
class Borrow {
public:
    Borrow(StreamState& state, bool exclusive) : state_(state) {
        if (state.borrows < 0 || (exclusive && state.borrows > 0)) {
            PyErr_SetString(PyExc_RuntimeError, exclusive ? "Already borrowed" : "Already mutably borrowed");
            return;
        }
        held_ = exclusive ? -1 : 1;
        state_.borrows = exclusive ? -1 : state_.borrows + 1;
    }
    ~Borrow() {
        if (held_ < 0) state_.borrows = 0;
        if (held_ > 0) --state_.borrows;
    }
    Borrow(const Borrow&) = delete;
    Borrow& operator=(const Borrow&) = delete;
    explicit operator bool() const { return held_ != 0; }

private:
    StreamState& state_;
    int held_ = 0;
};

// An optional count argument: None, or a non-negative int.
bool count_argument(PyObject* object, const char* name, std::optional<std::size_t>& count) {
    if (object == Py_None) return true;
    if (!PyLong_Check(object)) {
        PyErr_Format(PyExc_TypeError, "argument '%s': expected int or None", name);
        return false;
    }
    const std::size_t value = PyLong_AsSize_t(object);
    if (value == static_cast<std::size_t>(-1) && PyErr_Occurred()) return false;
    count = value;
    return true;
}

PyObject* create(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"kind", "window", "dim", "mode", nullptr};
        const char* kind_text = "natural";
        PyObject* window_argument = Py_None;
        PyObject* dim_argument = Py_None;
        const char* mode_text = "auto";
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "|sOOs:VisibilityStream", const_cast<char**>(keywords), &kind_text,
                                         &window_argument, &dim_argument, &mode_text)) {
            return nullptr;
        }
        std::optional<std::size_t> window;
        std::optional<std::size_t> dim;
        if (!count_argument(window_argument, "window", window) || !count_argument(dim_argument, "dim", dim)) {
            return nullptr;
        }
        if (window == std::size_t{0}) return raise_value_error("window must be >= 1");
        const auto mode = option_argument(kStreamModeNames, mode_text);
        if (!mode) return nullptr;
        const auto kind = option_argument(kSeriesKindNames, kind_text);
        if (!kind) return nullptr;
        auto stream = AnyStream::create(*kind, window, dim, *mode);
        if (!stream) return raise_value_error(stream.error());
        return wrap(type, StreamState{std::move(*stream)});
    });
}

// The position argument t of push: None or a float.
bool position_argument(PyObject* t, std::optional<double>& position) {
    if (t == Py_None) return true;
    const double value = PyFloat_AsDouble(t);
    if (value == -1.0 && PyErr_Occurred()) return false;
    position = value;
    return true;
}

PyObject* stream_push(PyObject* self, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        StreamState& state = state_of(self);
        Borrow borrow(state, true);
        if (!borrow) return nullptr;
        static const char* keywords[] = {"value", "t", nullptr};
        PyObject* value_argument = nullptr;
        PyObject* t_argument = Py_None;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O|O:push", const_cast<char**>(keywords), &value_argument,
                                         &t_argument)) {
            return nullptr;
        }
        std::optional<double> position;
        if (!position_argument(t_argument, position)) return nullptr;
        if (position && !state.stream.uses_positions()) {
            return raise_value_error("horizontal visibility does not use t");
        }
        std::optional<F64Vec> vector;
        double scalar = 0;
        if (is_vector(state.stream.kind())) {
            vector = to_f64(value_argument);
            if (!vector) return nullptr;
        } else {
            scalar = PyFloat_AsDouble(value_argument);
            if (scalar == -1.0 && PyErr_Occurred()) return nullptr;
        }
        const Series values = vector ? vector->values() : Series(&scalar, 1);
        const std::optional<Series> positions = position ? std::optional(Series(&*position, 1)) : std::nullopt;
        Int64Buffer result;
        std::size_t count = 0;
        // The lock stays held: the stream's borrow guards only against re-entrant use.
        const InterruptibleCall call;
        auto valid = state.stream.push_run(values, 1, values.size(), positions,
                              [&](std::size_t, const Sources& sources) {
                                  count = sources.size();
                                  result = memory::allocate_large_buffer<std::int64_t>(count);
                                  std::copy(sources.begin(), sources.end(), result.get());
                              });
        if (!valid) return raise_error(valid.error());
        return vector_to_numpy(std::move(result), count);
    });
}

// The rows of extend's values for a vector stream: a 2-D float64 array.
PyRef vector_rows(PyObject* values, std::size_t& rows, std::size_t& row_length) {
    PyRef array = as_contiguous_f64(values);
    if (!array) return {};
    auto* view = reinterpret_cast<PyArrayObject*>(array.get());
    if (!PyArray_Check(array.get()) || PyArray_NDIM(view) != 2) {
        raise_value_error("expected (n, dim) array");
        return {};
    }
    rows = static_cast<std::size_t>(PyArray_DIM(view, 0));
    row_length = static_cast<std::size_t>(PyArray_DIM(view, 1));
    return array;
}

PyObject* stream_extend(PyObject* self, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        StreamState& state = state_of(self);
        Borrow borrow(state, true);
        if (!borrow) return nullptr;
        static const char* keywords[] = {"values", "t", nullptr};
        PyObject* values_argument = nullptr;
        PyObject* t_argument = Py_None;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O|O:extend", const_cast<char**>(keywords), &values_argument,
                                         &t_argument)) {
            return nullptr;
        }
        std::optional<F64Vec> t;
        if (t_argument != Py_None) {
            t = to_f64(t_argument);
            if (!t) return nullptr;
        }
        // The data of the run: scalars, or rows of row_length values.
        std::optional<F64Vec> scalars;
        PyRef matrix;
        Series values;
        std::size_t rows = 0;
        std::size_t row_length = 1;
        if (is_vector(state.stream.kind())) {
            matrix = vector_rows(values_argument, rows, row_length);
            if (!matrix) return nullptr;
            const auto* data = static_cast<const double*>(PyArray_DATA(reinterpret_cast<PyArrayObject*>(matrix.get())));
            values = Series(data, rows * row_length);
        } else {
            scalars = to_f64(values_argument);
            if (!scalars) return nullptr;
            values = scalars->values();
            rows = values.size();
        }
        if (t && t->values().size() != rows) return raise_value_error("t must have one entry per sample");
        // Horizontal visibility has no positions; t was only checked for length.
        std::optional<Series> positions;
        if (t && state.stream.uses_positions()) positions = t->values();

        const std::size_t first = state.stream.size();
        // The pairs go straight into the buffer the result array will own.
        std::size_t capacity = 6 * rows + 2;
        std::size_t used = 0;
        Int64Buffer pairs = memory::allocate_large_buffer<std::int64_t>(capacity);
        const InterruptibleCall call;
        auto valid = state.stream.push_run(values, rows, row_length, positions,
                              [&](std::size_t i, const Sources& sources) {
                                  if (used + 2 * sources.size() > capacity) {
                                      capacity = 2 * (used + 2 * sources.size());
                                      memory::resize_large_buffer(pairs, capacity);
                                  }
                                  for (std::uint64_t source : sources) {
                                      pairs[used++] = static_cast<std::int64_t>(source);
                                      pairs[used++] = static_cast<std::int64_t>(first + i);
                                  }
                              });
        if (!valid) return raise_error(valid.error());
        return pairs_to_numpy(std::move(pairs), used / 2);
    });
}

Py_ssize_t stream_length(PyObject* self) {
    StreamState& state = state_of(self);
    Borrow borrow(state, false);
    if (!borrow) return -1;
    return static_cast<Py_ssize_t>(state.stream.size());
}

PyObject* stream_repr(PyObject* self) {
    return guarded([&]() -> PyObject* {
        StreamState& state = state_of(self);
        Borrow borrow(state, false);
        if (!borrow) return nullptr;
        const std::string text = "VisibilityStream(kind='" + std::string(name_of(kSeriesKindNames, state.stream.kind())) +
                                 "', n=" + std::to_string(state.stream.size()) + ")";
        return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
    });
}

PyMethodDef stream_methods[] = {
    {"push", method_pointer(stream_push), METH_VARARGS | METH_KEYWORDS,
     "push($self, value, t=None)\n--\n\n"
     "Appends one sample (scalar, or a length-`dim` vector) and returns the\n"
     "sources of its new edges."},
    {"extend", method_pointer(stream_extend),
     METH_VARARGS | METH_KEYWORDS,
     "extend($self, values, t=None)\n--\n\n"
     "Pushes many samples; returns all new edges as an (E, 2) int64 array."},
    {nullptr, nullptr, 0, nullptr},
};

constexpr const char kStreamDoc[] =
    "VisibilityStream(kind=\"natural\", window=None, dim=None, mode=\"auto\")\n"
    "\n"
    "Online visibility graph: `push(value, t=None)` appends one sample and returns\n"
    "the sources of the new edges (source, new_index) as an int64 array.\n"
    "\n"
    "kind: \"natural\" | \"horizontal\" | \"vector_natural\" | \"vector_horizontal\".\n"
    "window: only connect to the last `window` samples (sliding window graph).\n"
    "dim: vector dimension (required for vector kinds).\n"
    "mode (natural only): \"auto\" (scan short histories, hull-index long ones),\n"
    "\"scan\" or \"indexed\".";

PyType_Slot stream_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(create)},
    {Py_tp_dealloc, reinterpret_cast<void*>(release_holder<StreamState>)},
    {Py_tp_repr, reinterpret_cast<void*>(stream_repr)},
    {Py_sq_length, reinterpret_cast<void*>(stream_length)},
    {Py_tp_methods, stream_methods},
    {Py_tp_doc, const_cast<char*>(kStreamDoc)},
    {0, nullptr},
};

PyType_Spec stream_spec = {
    "_kaltrope.VisibilityStream", sizeof(Holder<StreamState>), 0, Py_TPFLAGS_DEFAULT, stream_slots,
};

}  // namespace

int add_visibility_stream_class(PyObject* module) {
    return add_class(module, stream_spec) != nullptr ? 0 : -1;
}

}  // namespace kaltrope::bindings
