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
#include "bindings/common/state_conversion.hpp"
#include "core/stream/any_stream.hpp"

namespace kaltrope::bindings {
namespace {

struct HeldStream {
    AnyStream stream;
    // 0: free; > 0: that many readers; -1: a mutating call is running.
    int borrows = 0;
};

HeldStream& state_of(PyObject* self) { return held<HeldStream>(self); }

// Holds the stream for one call, shared (reading) or exclusively (mutating).
// A call on a stream that is already held exclusively, or an exclusive call
// on one that is held at all, can only come from re-entrant use and fails.
class Borrow {
public:
    Borrow(HeldStream& state, bool exclusive) : state_(state) {
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
    HeldStream& state_;
    int held_ = 0;
};

// An optional count argument: None, or a non-negative int (not a bool, as
// the array functions' window).
bool count_argument(PyObject* object, const char* name, std::optional<std::size_t>& count) {
    if (object == Py_None) return true;
    if (!PyLong_Check(object) || PyBool_Check(object)) {
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
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "|sOOs:VisibilityStream", const_cast<char**>(keywords),
                                         &kind_text, &window_argument, &dim_argument, &mode_text)) {
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
        return wrap(type, HeldStream{std::move(*stream)});
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
        HeldStream& state = state_of(self);
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
        auto valid =
            state.stream.push_run(values, 1, values.size(), positions, [&](std::size_t, const Sources& sources) {
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
        HeldStream& state = state_of(self);
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
        auto valid =
            state.stream.push_run(values, rows, row_length, positions, [&](std::size_t i, const Sources& sources) {
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
    HeldStream& state = state_of(self);
    Borrow borrow(state, false);
    if (!borrow) return -1;
    return static_cast<Py_ssize_t>(state.stream.size());
}

PyObject* stream_repr(PyObject* self) {
    return guarded([&]() -> PyObject* {
        HeldStream& state = state_of(self);
        Borrow borrow(state, false);
        if (!borrow) return nullptr;
        const std::string text = "VisibilityStream(kind='" +
                                 std::string(name_of(kSeriesKindNames, state.stream.kind())) +
                                 "', n=" + std::to_string(state.stream.size()) + ")";
        return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
    });
}

// The state of the stream: (version, kind, window, dim, mode, count, values,
// positions, anchor_index, anchor_num, anchor_den); values (rows of dim for
// vector kinds, end to end) and positions are the samples a later one may
// see, positions None for the horizontal kind, the anchors None but for
// vector kinds.
PyObject* stream_reduce(PyObject* self, PyObject*) {
    return guarded([&]() -> PyObject* {
        HeldStream& held_stream = state_of(self);
        Borrow borrow(held_stream, false);
        if (!borrow) return nullptr;
        const kaltrope::StreamState state = held_stream.stream.state();
        auto optional_count = [](std::optional<std::size_t> count) {
            return count ? PyLong_FromSize_t(*count) : none_item();
        };
        auto name = [](std::string_view text) {
            return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
        };
        const bool positions = state.kind != SeriesKind::Horizontal;
        const bool anchors = is_vector(state.kind);
        return reduce_with(
            self, kStreamStateVersion,
            {name(name_of(kSeriesKindNames, state.kind)), optional_count(state.window), optional_count(state.dim),
             name(name_of(kStreamModeNames, state.mode)), PyLong_FromSize_t(state.count), array_copy(state.values),
             positions ? array_copy(state.positions) : none_item(),
             anchors ? array_copy<std::uint64_t>(state.anchors.index) : none_item(),
             anchors ? array_copy<double>(state.anchors.best_num) : none_item(),
             anchors ? array_copy<double>(state.anchors.best_den) : none_item()});
    });
}

// A 1-D float64 state array, or None for none.
std::optional<std::optional<StateArray<double>>> optional_doubles(PyObject* object, const char* what) {
    if (object == Py_None) return std::optional<StateArray<double>>();
    auto array = state_array<double>(object, what);
    if (!array) return std::nullopt;
    return std::optional(std::move(*array));
}

PyObject* stream_restore(PyObject* type, PyObject* args) {
    return guarded([&]() -> PyObject* {
        const auto items = state_tuple(args, 11, "VisibilityStream state");
        if (!items) return nullptr;
        const auto& item = *items;
        if (!check_state_version(item[0], kStreamStateVersion, "VisibilityStream")) return nullptr;
        kaltrope::StreamState state;
        const auto kind_name = state_string(item[1], "kind");
        if (!kind_name) return nullptr;
        const auto kind = option_argument(kSeriesKindNames, *kind_name);
        const auto window = kind ? state_optional_count(item[2], "window") : std::nullopt;
        const auto dim = window ? state_optional_count(item[3], "dim") : std::nullopt;
        const auto mode_name = dim ? state_string(item[4], "mode") : std::nullopt;
        const auto mode = mode_name ? option_argument(kStreamModeNames, *mode_name) : std::nullopt;
        const auto count = mode ? state_count(item[5], "count") : std::nullopt;
        if (!count) return nullptr;
        const auto values = state_array<double>(item[6], "values");
        if (!values) return nullptr;
        const auto positions = optional_doubles(item[7], "positions");
        if (!positions) return nullptr;
        const bool with_anchors = item[8] != Py_None;
        const auto anchor_index =
            with_anchors ? state_array<std::uint64_t>(item[8], "anchor_index") : StateArray<std::uint64_t>{};
        const auto anchor_num = optional_doubles(item[9], "anchor_num");
        const auto anchor_den = anchor_num ? optional_doubles(item[10], "anchor_den") : std::nullopt;
        if (!anchor_index || !anchor_den) return nullptr;
        if (*positions == std::nullopt && *kind != SeriesKind::Horizontal) {
            return raise_value_error("invalid VisibilityStream state: positions are missing");
        }
        if (*anchor_num == std::nullopt || *anchor_den == std::nullopt ? with_anchors || *anchor_num || *anchor_den
                                                                       : !with_anchors) {
            return raise_value_error("invalid VisibilityStream state: anchors are incomplete");
        }
        state.kind = *kind;
        state.window = *window;
        state.dim = *dim;
        state.mode = *mode;
        state.count = *count;
        state.values = values->values;
        if (*positions) state.positions = (*positions)->values;
        if (with_anchors) {
            state.anchors.index.assign(anchor_index->values.begin(), anchor_index->values.end());
            state.anchors.best_num.assign((*anchor_num)->values.begin(), (*anchor_num)->values.end());
            state.anchors.best_den.assign((*anchor_den)->values.begin(), (*anchor_den)->values.end());
        }
        auto stream = without_lock([&] { return AnyStream::restore(state); });
        if (!stream) return raise_value_error(stream.error());
        return wrap(reinterpret_cast<PyTypeObject*>(type), HeldStream{std::move(*stream)});
    });
}

PyMethodDef stream_methods[] = {
    {"push", method_pointer(stream_push), METH_VARARGS | METH_KEYWORDS,
     "push($self, value, t=None)\n--\n\n"
     "Appends one sample (scalar, or a length-`dim` vector) and returns the\n"
     "sources of its new edges.\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "value : float or array_like of float\n"
     "    The sample: a number, or a vector of `dim` numbers for the vector\n"
     "    kinds; finite.\n"
     "t : float, optional\n"
     "    The sample's position, above every earlier one; default its index.\n"
     "    Not for the horizontal kind (the vector kinds take it).\n"
     "\n"
     "Returns\n"
     "-------\n"
     "ndarray of int64, shape (k,)\n"
     "    The indices of the earlier samples the new one sees, in the order\n"
     "    the engine finds them; its own index is ``len(stream) - 1``.\n"
     "\n"
     "Raises\n"
     "------\n"
     "ValueError\n"
     "    If the value is not finite (\"non-finite value at index 5\", the\n"
     "    index the sample would take), a vector has not `dim` entries, `t`\n"
     "    is not finite and above the last position, or `t` is given to a\n"
     "    horizontal stream. The stream is then left as it was.\n"
     "TypeError\n"
     "    If `value` or `t` is not a number.\n"
     "RuntimeError\n"
     "    If the stream is already in use by a call of this stream (a\n"
     "    re-entrant call).\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> stream = kt.VisibilityStream(\"horizontal\")\n"
     ">>> stream.push(2.0), stream.push(1.0), stream.push(3.0)\n"
     "(array([], dtype=int64), array([0]), array([1, 0]))\n"},
    {"extend", method_pointer(stream_extend), METH_VARARGS | METH_KEYWORDS,
     "extend($self, values, t=None)\n--\n\n"
     "Pushes many samples; returns all new edges as an (E, 2) int64 array.\n"
     "\n"
     "The whole run is checked first: on an error the stream is left exactly\n"
     "as it was, as it is when the run fails part-way (e.g. MemoryError).\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "values : array_like of float, shape (n,), or (n, dim) for the vector kinds\n"
     "    The samples, in order; finite.\n"
     "t : array_like of float, shape (n,), optional\n"
     "    Their positions, strictly increasing and above every earlier one;\n"
     "    default their indices. A horizontal stream checks only its length.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "ndarray of int64, shape (E, 2)\n"
     "    One row (source, new index) per new edge, sample after sample,\n"
     "    each sample's sources in the order `push` would give them.\n"
     "\n"
     "Raises\n"
     "------\n"
     "ValueError\n"
     "    If a value is not finite (with the index it would take), `values`\n"
     "    has the wrong shape, `t` has not one entry per sample (\"t must have\n"
     "    one entry per sample\") or is not finite and strictly increasing.\n"
     "TypeError\n"
     "    If an argument cannot be read as numbers.\n"
     "RuntimeError\n"
     "    If the stream is already in use by a call of this stream.\n"
     "MemoryError\n"
     "    If the edges do not fit in memory.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> stream = kt.VisibilityStream(\"vector_horizontal\", dim=2)\n"
     ">>> stream.extend([[1.0, 0.0], [0.0, 1.0], [2.0, 0.0]])\n"
     "array([[0, 1],\n"
     "       [0, 2],\n"
     "       [1, 2]])\n"},
    {"__reduce__", stream_reduce, METH_NOARGS,
     "__reduce__($self)\n--\n\n"
     "The state of the stream, for pickle and copy.\n\n"
     "Returns\n-------\ntuple\n"
     "    ``(VisibilityStream._restore, state)``: the kind, window, dim, mode,\n"
     "    the number of samples and the samples a later one may see (NumPy\n"
     "    arrays); a windowed stream saves only its window."},
    {"_restore", stream_restore, METH_VARARGS | METH_CLASS,
     "_restore($cls, version, /, *state)\n--\n\n"
     "The stream a state of ``__reduce__`` describes.\n\n"
     "Raises\n------\nValueError\n"
     "    For an unknown version or a state no stream can have.\n"
     "TypeError\n    For an item of the wrong type."},
    {nullptr, nullptr, 0, nullptr},
};

constexpr const char kStreamDoc[] =
    "VisibilityStream(kind=\"natural\", window=None, dim=None, mode=\"auto\")\n--\n\n"
    "Online visibility graph: `push(value, t=None)` appends one sample and returns\n"
    "the sources of the new edges (source, new_index) as an int64 array.\n"
    "\n"
    "The graph grows by one sample (`push`) or a run of samples (`extend`),\n"
    "and each call returns the edges its samples close with earlier ones;\n"
    "edges are never revised. The edges are those of the array functions of\n"
    "the same kind, in another order. ``len(stream)`` is the number of\n"
    "samples.\n"
    "\n"
    "Parameters\n"
    "----------\n"
    "kind : {\"natural\", \"horizontal\", \"vector_natural\", \"vector_horizontal\"}, optional\n"
    "    The visibility. Default \"natural\".\n"
    "window : int, optional\n"
    "    Only connect samples at most `window` apart (a sliding-window\n"
    "    graph); None (default) for no limit.\n"
    "dim : int, optional\n"
    "    The length of a sample of the vector kinds (required there, at\n"
    "    least 1); ignored by the scalar kinds.\n"
    "mode : {\"auto\", \"scan\", \"indexed\"}, optional\n"
    "    For the natural kind: \"scan\" scans backwards from each new sample,\n"
    "    \"indexed\" keeps a hull index of the history, \"auto\" (default) scans\n"
    "    short histories and indexes long ones. All modes give the same\n"
    "    edges.\n"
    "\n"
    "Raises\n"
    "------\n"
    "ValueError\n"
    "    If `kind` or `mode` is unknown, if `window` is 0, or if a vector\n"
    "    kind has no `dim` or a `dim` of 0.\n"
    "TypeError\n"
    "    If `window` or `dim` is neither an int nor None (a bool is refused),\n"
    "    or `kind` or `mode` is not a str.\n"
    "OverflowError\n"
    "    If `window` or `dim` is negative.\n"
    "\n"
    "Examples\n"
    "--------\n"
    ">>> import kaltrope as kt\n"
    ">>> stream = kt.VisibilityStream(\"natural\")\n"
    ">>> stream.push(1.0)\n"
    "array([], dtype=int64)\n"
    ">>> stream.push(3.0)\n"
    "array([0])\n"
    ">>> stream.extend([2.0, 4.0])\n"
    "array([[1, 2],\n"
    "       [2, 3],\n"
    "       [1, 3]])\n"
    ">>> len(stream), stream\n"
    "(4, VisibilityStream(kind='natural', n=4))\n";

PyType_Slot stream_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(create)},
    {Py_tp_dealloc, reinterpret_cast<void*>(release_holder<HeldStream>)},
    {Py_tp_repr, reinterpret_cast<void*>(stream_repr)},
    {Py_sq_length, reinterpret_cast<void*>(stream_length)},
    {Py_tp_methods, stream_methods},
    {Py_tp_doc, const_cast<char*>(kStreamDoc)},
    {0, nullptr},
};

PyType_Spec stream_spec = {
    "_kaltrope.VisibilityStream", sizeof(Holder<HeldStream>), 0, Py_TPFLAGS_DEFAULT, stream_slots,
};

}  // namespace

int add_visibility_stream_class(PyObject* module) { return add_class(module, stream_spec) != nullptr ? 0 : -1; }

}  // namespace kaltrope::bindings
