// The Python class VisibilityStream: an online visibility graph over one of
// the three stream engines.

#include "bindings/stream/visibility_stream_object.hpp"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <variant>

#include "core/stream/horizontal_stream.hpp"
#include "core/stream/natural_stream.hpp"
#include "core/stream/vector_stream.hpp"
#include "bindings/common/numpy_api.hpp"
#include "bindings/common/errors.hpp"
#include "bindings/common/py_ref.hpp"
#include "bindings/common/stream_errors.hpp"
#include "bindings/common/array_conversion.hpp"
#include "bindings/common/array_results.hpp"

namespace kaltrope::python_extra {
namespace {

using Engine = std::variant<NaturalStream, HorizontalStream, VectorStream>;

struct StreamState {
    Engine engine;
    std::string kind;
    // 0: free; > 0: that many readers; -1: a mutating call is running.
    int borrows = 0;
};

struct StreamObject {
    PyObject_HEAD
    StreamState* state;
};

StreamState& state_of(PyObject* self) { return *reinterpret_cast<StreamObject*>(self)->state; }

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

// The engine for kind, or nullopt with ValueError set.
std::optional<Engine> make_engine(std::string_view kind, std::optional<std::size_t> window,
                                  std::optional<std::size_t> dim, StreamMode mode) {
    if (kind == "natural") return Engine(std::in_place_type<NaturalStream>, window, mode);
    if (kind == "horizontal") return Engine(std::in_place_type<HorizontalStream>, window);
    if (kind == "vector_natural" || kind == "vector_horizontal") {
        if (!dim) {
            python::to_value_error("dim is required for vector kinds");
            return std::nullopt;
        }
        if (*dim == 0) {
            value_err(InputError{InputError::Kind::MismatchedLength});
            return std::nullopt;
        }
        return Engine(std::in_place_type<VectorStream>, window, *dim, kind == "vector_horizontal");
    }
    python::to_value_error("unknown kind '" + std::string(kind) + "'");
    return std::nullopt;
}

PyObject* stream_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return python::guarded([&]() -> PyObject* {
        static const char* keywords[] = {"kind", "window", "dim", "mode", nullptr};
        const char* kind = "natural";
        PyObject* window_argument = Py_None;
        PyObject* dim_argument = Py_None;
        const char* mode_text = "auto";
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "|sOOs:VisibilityStream", const_cast<char**>(keywords), &kind,
                                         &window_argument, &dim_argument, &mode_text)) {
            return nullptr;
        }
        std::optional<std::size_t> window;
        std::optional<std::size_t> dim;
        if (!count_argument(window_argument, "window", window) || !count_argument(dim_argument, "dim", dim)) {
            return nullptr;
        }
        if (window == std::size_t{0}) return python::to_value_error("window must be >= 1");
        const auto mode = parse_stream_mode(mode_text);
        if (!mode) return python::to_value_error(mode.error());
        auto engine = make_engine(kind, window, dim, *mode);
        if (!engine) return nullptr;

        auto* state = new StreamState{std::move(*engine), kind};
        auto allocate = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
        PyObject* self = allocate(type, 0);
        if (self == nullptr) {
            delete state;
            return nullptr;
        }
        reinterpret_cast<StreamObject*>(self)->state = state;
        return self;
    });
}

void stream_dealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    delete reinterpret_cast<StreamObject*>(self)->state;
    auto release = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
    release(self);
    Py_DECREF(type);
}

// The position argument t of push: None or a float.
bool position_argument(PyObject* t, std::optional<double>& position) {
    if (t == Py_None) return true;
    const double value = PyFloat_AsDouble(t);
    if (value == -1.0 && PyErr_Occurred()) return false;
    position = value;
    return true;
}

// Validates a run, then pushes it; on_sample(i, sources) sees each sample's
// sources. Either every sample is taken or, on any error, none.
template <class OnSample>
Validated push_run(Engine& engine, Series values, std::size_t rows, std::size_t row_length,
                   std::optional<Series> positions, OnSample&& on_sample) {
    auto position = [&](std::size_t i) { return positions ? std::optional((*positions)[i]) : std::nullopt; };
    return std::visit(
        [&](auto& stream) -> Validated {
            using Stream = std::decay_t<decltype(stream)>;
            Validated valid;
            if constexpr (std::is_same_v<Stream, VectorStream>) {
                valid = stream.check_run(values, row_length, rows, positions);
            } else if constexpr (std::is_same_v<Stream, NaturalStream>) {
                valid = stream.check_run(values, positions);
            } else {
                valid = stream.check_run(values);
            }
            if (!valid) return valid;
            push_checked_run(
                stream, rows,
                [&](std::size_t i, Sources& sources) {
                    if constexpr (std::is_same_v<Stream, VectorStream>) {
                        stream.push_checked(values.subspan(i * row_length, row_length), position(i), sources);
                    } else if constexpr (std::is_same_v<Stream, NaturalStream>) {
                        stream.push_checked(values[i], position(i), sources);
                    } else {
                        stream.push_checked(values[i], sources);
                    }
                },
                on_sample);
            return {};
        },
        engine);
}

std::size_t stream_size(const Engine& engine) {
    return std::visit([](const auto& stream) { return stream.size(); }, engine);
}

PyObject* stream_push(PyObject* self, PyObject* args, PyObject* kwargs) {
    return python::guarded([&]() -> PyObject* {
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
        if (position && std::holds_alternative<HorizontalStream>(state.engine)) {
            return python::to_value_error("horizontal visibility does not use t");
        }
        std::optional<python_fast::F64Vec> vector;
        double scalar = 0;
        if (std::holds_alternative<VectorStream>(state.engine)) {
            vector = python_fast::to_f64(value_argument);
            if (!vector) return nullptr;
        } else {
            scalar = PyFloat_AsDouble(value_argument);
            if (scalar == -1.0 && PyErr_Occurred()) return nullptr;
        }
        const Series values = vector ? vector->values() : Series(&scalar, 1);
        const std::optional<Series> positions = position ? std::optional(Series(&*position, 1)) : std::nullopt;
        python_fast::Int64Buffer result;
        std::size_t count = 0;
        auto valid = push_run(state.engine, values, 1, values.size(), positions,
                              [&](std::size_t, const Sources& sources) {
                                  count = sources.size();
                                  result = memory::allocate_large_buffer<std::int64_t>(count);
                                  std::copy(sources.begin(), sources.end(), result.get());
                              });
        if (!valid) return value_err(valid.error());
        return python_fast::vector_to_numpy(std::move(result), count);
    });
}

// The rows of extend's values for a vector stream: a 2-D float64 array.
python::PyRef vector_rows(PyObject* values, std::size_t& rows, std::size_t& row_length) {
    python::PyRef array = python_fast::as_contiguous_f64(values);
    if (!array) return {};
    auto* view = reinterpret_cast<PyArrayObject*>(array.get());
    if (!PyArray_Check(array.get()) || PyArray_NDIM(view) != 2) {
        python::to_value_error("expected (n, dim) array");
        return {};
    }
    rows = static_cast<std::size_t>(PyArray_DIM(view, 0));
    row_length = static_cast<std::size_t>(PyArray_DIM(view, 1));
    return array;
}

PyObject* stream_extend(PyObject* self, PyObject* args, PyObject* kwargs) {
    return python::guarded([&]() -> PyObject* {
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
        std::optional<python_fast::F64Vec> t;
        if (t_argument != Py_None) {
            t = python_fast::to_f64(t_argument);
            if (!t) return nullptr;
        }
        // The data of the run: scalars, or rows of row_length values.
        std::optional<python_fast::F64Vec> scalars;
        python::PyRef matrix;
        Series values;
        std::size_t rows = 0;
        std::size_t row_length = 1;
        if (std::holds_alternative<VectorStream>(state.engine)) {
            matrix = vector_rows(values_argument, rows, row_length);
            if (!matrix) return nullptr;
            const auto* data = static_cast<const double*>(PyArray_DATA(reinterpret_cast<PyArrayObject*>(matrix.get())));
            values = Series(data, rows * row_length);
        } else {
            scalars = python_fast::to_f64(values_argument);
            if (!scalars) return nullptr;
            values = scalars->values();
            rows = values.size();
        }
        if (t && t->values().size() != rows) return python::to_value_error("t must have one entry per sample");
        // Horizontal visibility has no positions; t was only checked for length.
        std::optional<Series> positions;
        if (t && !std::holds_alternative<HorizontalStream>(state.engine)) positions = t->values();

        const std::size_t first = stream_size(state.engine);
        // The pairs go straight into the buffer the result array will own.
        std::size_t capacity = 6 * rows + 2;
        std::size_t used = 0;
        python_fast::Int64Buffer pairs = memory::allocate_large_buffer<std::int64_t>(capacity);
        auto valid = push_run(state.engine, values, rows, row_length, positions,
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
        if (!valid) return value_err(valid.error());
        return python_fast::pairs_to_numpy(std::move(pairs), used / 2);
    });
}

Py_ssize_t stream_length(PyObject* self) {
    StreamState& state = state_of(self);
    Borrow borrow(state, false);
    if (!borrow) return -1;
    return static_cast<Py_ssize_t>(stream_size(state.engine));
}

PyObject* stream_repr(PyObject* self) {
    return python::guarded([&]() -> PyObject* {
        StreamState& state = state_of(self);
        Borrow borrow(state, false);
        if (!borrow) return nullptr;
        const std::string text = "VisibilityStream(kind='" + state.kind +
                                 "', n=" + std::to_string(stream_size(state.engine)) + ")";
        return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
    });
}

PyMethodDef stream_methods[] = {
    {"push", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(stream_push)), METH_VARARGS | METH_KEYWORDS,
     "push($self, value, t=None)\n--\n\n"
     "Appends one sample (scalar, or a length-`dim` vector) and returns the\n"
     "sources of its new edges."},
    {"extend", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(stream_extend)),
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
    {Py_tp_new, reinterpret_cast<void*>(stream_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(stream_dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(stream_repr)},
    {Py_sq_length, reinterpret_cast<void*>(stream_length)},
    {Py_tp_methods, stream_methods},
    {Py_tp_doc, const_cast<char*>(kStreamDoc)},
    {0, nullptr},
};

PyType_Spec stream_spec = {
    "_kaltrope.VisibilityStream", sizeof(StreamObject), 0, Py_TPFLAGS_DEFAULT, stream_slots,
};

}  // namespace

int add_visibility_stream(PyObject* module) {
    PyObject* type = PyType_FromSpec(&stream_spec);
    if (type == nullptr) return -1;
    if (PyModule_AddObject(module, "VisibilityStream", type) < 0) {
        Py_DECREF(type);
        return -1;
    }
    return 0;
}

}  // namespace kaltrope::python_extra
