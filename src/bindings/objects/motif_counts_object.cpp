// MotifCounts: made by VisibilityGraph.detect_motifs, read-only. Only the
// classes that occur are listed, in the order of MotifKind.

#include "bindings/objects/motif_counts_object.hpp"

#include <algorithm>
#include <optional>
#include <string>

#include "bindings/common/argument_conversion.hpp"
#include "bindings/common/class_support.hpp"
#include "bindings/common/method_table.hpp"
#include "bindings/common/errors.hpp"
#include "bindings/common/py_ref.hpp"
#include "bindings/common/state_conversion.hpp"
#include "analysis/graph_motifs/motif_state.hpp"

namespace kaltrope::bindings {
namespace {

PyTypeObject* motif_counts_type = nullptr;

const MotifCounts& counts_of(PyObject* self) { return held<MotifCounts>(self); }

// Calls visit(kind, count) for every class that occurs.
template <class Visit>
void for_each_present(const MotifCounts& counts, Visit&& visit) {
    for (std::size_t k = 0; k < kMotifKindCount; ++k) {
        if (counts.by_kind[k] != 0) visit(static_cast<MotifKind>(k), counts.by_kind[k]);
    }
}

// An exact Python int, also beyond 64 bits.
PyObject* to_python_count(TripleCount count) {
    const auto low = static_cast<unsigned long long>(count);
    const auto high = static_cast<unsigned long long>(count >> 64);
    if (high == 0) return PyLong_FromUnsignedLongLong(low);
    PyRef high_part = PyRef::steal(PyLong_FromUnsignedLongLong(high));
    PyRef width = PyRef::steal(PyLong_FromLong(64));
    if (!high_part || !width) return nullptr;
    PyRef shifted = PyRef::steal(PyNumber_Lshift(high_part.get(), width.get()));
    PyRef low_part = PyRef::steal(PyLong_FromUnsignedLongLong(low));
    if (!shifted || !low_part) return nullptr;
    return PyNumber_Or(shifted.get(), low_part.get());
}

std::string decimal(TripleCount count) {
    std::string digits;
    do {
        digits += static_cast<char>('0' + static_cast<int>(count % 10));
        count /= 10;
    } while (count != 0);
    std::ranges::reverse(digits);
    return digits;
}

PyObject* counts(PyObject* self, PyObject*) {
    return guarded([&]() -> PyObject* {
        PyRef dict = PyRef::steal(PyDict_New());
        if (!dict) return nullptr;
        bool failed = false;
        for_each_present(counts_of(self), [&](MotifKind kind, TripleCount count) {
            if (failed) return;
            PyRef value = PyRef::steal(to_python_count(count));
            failed = !value || PyDict_SetItemString(dict.get(), std::string(motif_name(kind)).c_str(), value.get()) < 0;
        });
        return failed ? nullptr : dict.release();
    });
}

PyObject* get(PyObject* self, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"motif_name", nullptr};
        PyObject* name_argument = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O:get", const_cast<char**>(keywords), &name_argument)) {
            return nullptr;
        }
        const auto name = utf8_string(name_argument, "motif_name");
        if (!name) return nullptr;
        std::optional<TripleCount> found;
        for_each_present(counts_of(self), [&](MotifKind kind, TripleCount count) {
            if (motif_name(kind) == *name) found = count;
        });
        if (!found) Py_RETURN_NONE;
        return to_python_count(*found);
    });
}

PyObject* total_subgraphs(PyObject* self, void*) {
    return guarded([&] { return to_python_count(counts_of(self).total_subgraphs); });
}

// MotifCounts(counts={"empty": 1, "fork": 3}, total=4)
PyObject* represent(PyObject* self) {
    return guarded([&] {
        const MotifCounts& motif_counts = counts_of(self);
        std::string text = "MotifCounts(counts={";
        const char* separator = "";
        for_each_present(motif_counts, [&](MotifKind kind, TripleCount count) {
            text += separator;
            text += '"';
            text += motif_name(kind);
            text += "\": ";
            text += decimal(count);
            separator = ", ";
        });
        text += "}, total=" + decimal(motif_counts.total_subgraphs) + ")";
        return PyUnicode_FromString(text.c_str());
    });
}

// A Python int from 0 to 2^128 - 1.
std::optional<TripleCount> state_triple_count(PyObject* object) {
    if (!PyLong_Check(object) || PyBool_Check(object)) {
        PyErr_SetString(PyExc_TypeError, "state: a count must be an int");
        return std::nullopt;
    }
    PyRef zero = PyRef::steal(PyLong_FromLong(0));
    PyRef width = PyRef::steal(PyLong_FromLong(64));
    if (!zero || !width) return std::nullopt;
    const int negative = PyObject_RichCompareBool(object, zero.get(), Py_LT);
    if (negative < 0) return std::nullopt;
    PyRef high = PyRef::steal(negative ? nullptr : PyNumber_Rshift(object, width.get()));
    const unsigned long long high_part = high ? PyLong_AsUnsignedLongLong(high.get()) : 0;
    if (negative || !high || (high_part == static_cast<unsigned long long>(-1) && PyErr_Occurred())) {
        PyErr_Clear();
        PyErr_SetString(PyExc_ValueError, "state: a count is out of range");
        return std::nullopt;
    }
    const unsigned long long low_part = PyLong_AsUnsignedLongLongMask(object);
    return (static_cast<TripleCount>(high_part) << 64) | low_part;
}

// (version, counts, total): the count of every class, in the order of
// MotifKind, and the number of triples.
PyObject* reduce(PyObject* self, PyObject*) {
    return guarded([&]() -> PyObject* {
        const MotifCounts& motif_counts = counts_of(self);
        PyRef tuple = PyRef::steal(PyTuple_New(kMotifKindCount));
        if (!tuple) return nullptr;
        for (std::size_t k = 0; k < kMotifKindCount; ++k) {
            PyObject* count = to_python_count(motif_counts.by_kind[k]);
            if (count == nullptr) return nullptr;
            PyTuple_SetItem(tuple.get(), static_cast<Py_ssize_t>(k), count);  // steals count
        }
        return reduce_with(self, kMotifStateVersion, {tuple.release(), to_python_count(motif_counts.total_subgraphs)});
    });
}

PyObject* restore(PyObject*, PyObject* args) {
    return guarded([&]() -> PyObject* {
        const auto items = state_tuple(args, 3, "MotifCounts state");
        if (!items) return nullptr;
        if (!check_state_version((*items)[0], kMotifStateVersion, "MotifCounts")) return nullptr;
        const auto count_items = state_tuple((*items)[1], kMotifKindCount, "counts");
        if (!count_items) return nullptr;
        MotifCounts motif_counts;
        for (std::size_t k = 0; k < kMotifKindCount; ++k) {
            const auto count = state_triple_count((*count_items)[k]);
            if (!count) return nullptr;
            motif_counts.by_kind[k] = *count;
        }
        const auto total = state_triple_count((*items)[2]);
        if (!total) return nullptr;
        motif_counts.total_subgraphs = *total;
        auto restored = restore_motif_counts(motif_counts);
        if (!restored) return raise_value_error(restored.error());
        return wrap_motif_counts(*restored);
    });
}

PyMethodDef methods[] = {
    {"counts", counts, METH_NOARGS,
     "counts($self)\n--\n\n"
     "Get counts as a dictionary {motif_name: count}\n"
     "\n"
     "Returns\n"
     "-------\n"
     "dict of str to int\n"
     "    The classes that occur, in the order \"empty\", \"fork\", \"four_edges\",\n"
     "    \"complete_triangle\"; a class that does not occur is left out.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> kt.natural_visibility([1.0, 3.0, 2.0]).detect_motifs().counts()\n"
     "{'four_edges': 1}\n"},
    {"get", method_pointer(get), METH_VARARGS | METH_KEYWORDS,
     "get($self, motif_name)\n--\n\n"
     "Get count for a specific motif type\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "motif_name : str\n"
     "    A class name, such as \"fork\".\n"
     "\n"
     "Returns\n"
     "-------\n"
     "int or None\n"
     "    The count; None for a class that does not occur (count 0) and for\n"
     "    an unknown name.\n"
     "\n"
     "Raises\n"
     "------\n"
     "TypeError\n"
     "    If `motif_name` is not a str.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> motifs = kt.natural_visibility([1.0, 3.0, 2.0, 4.0]).detect_motifs()\n"
     ">>> motifs.get(\"fork\"), motifs.get(\"empty\")\n"
     "(1, None)\n"},
    {"__reduce__", reduce, METH_NOARGS,
     "__reduce__($self)\n--\n\n"
     "The state of the counts, for pickle and copy.\n\n"
     "Returns\n-------\ntuple\n"
     "    ``(MotifCounts._restore, state)``: the count of every class and the number of triples."},
    {"_restore", restore, METH_VARARGS | METH_CLASS,
     "_restore($cls, version, /, *state)\n--\n\n"
     "The counts a state of ``__reduce__`` describes.\n\n"
     "Raises\n------\nValueError\n"
     "    For an unknown version or a state that describes no counts.\n"
     "TypeError\n    For an item of the wrong type."},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef properties[] = {
    {"total_subgraphs", total_subgraphs, nullptr,
     "The number of three-node sets, n (n - 1) (n - 2) / 6: the sum of all\n"
     "the counts, those of absent classes included (int).",
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_doc,
     const_cast<char*>("The three-node motif counts of a graph, from\n"
                       "`VisibilityGraph.detect_motifs`.\n"
                       "\n"
                       "Every set of three nodes is one \"empty\", \"fork\", \"four_edges\" or\n"
                       "\"complete_triangle\" (none, one, two or three edges among them; the\n"
                       "names count directed arcs, and \"single_edge\", \"chain\", \"cycle\",\n"
                       "\"three_edges\" and \"five_edges\" exist for directed triads, which\n"
                       "visibility graphs never have). Counts are exact Python ints of any\n"
                       "size. Read-only; the class has no constructor.\n"
                       "\n"
                       "Raises\n"
                       "------\n"
                       "TypeError\n"
                       "    If called: use VisibilityGraph.detect_motifs.\n"
                       "\n"
                       "Examples\n"
                       "--------\n"
                       ">>> import kaltrope as kt\n"
                       ">>> motifs = kt.natural_visibility([1.0, 3.0, 2.0, 4.0]).detect_motifs()\n"
                       ">>> motifs\n"
                       "MotifCounts(counts={\"fork\": 1, \"four_edges\": 2, \"complete_triangle\": 1}, total=4)\n"
                       ">>> motifs.total_subgraphs\n"
                       "4\n")},
    {Py_tp_new, reinterpret_cast<void*>(no_constructor)},
    {Py_tp_dealloc, reinterpret_cast<void*>(release_holder<MotifCounts>)},
    {Py_tp_repr, reinterpret_cast<void*>(represent)},
    {Py_tp_methods, methods},
    {Py_tp_getset, properties},
    {0, nullptr},
};

PyType_Spec spec = {"_kaltrope.MotifCounts", sizeof(Holder<MotifCounts>), 0, Py_TPFLAGS_DEFAULT, slots};

}  // namespace

int add_motif_counts_class(PyObject* module) {
    motif_counts_type = add_class(module, spec);
    return motif_counts_type != nullptr ? 0 : -1;
}

PyObject* wrap_motif_counts(MotifCounts counts) { return wrap(motif_counts_type, std::move(counts)); }

}  // namespace kaltrope::bindings
