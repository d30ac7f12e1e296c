// VisibilityGraph's pickling and copying: its neighbour rows and its node
// feature table, as read-only NumPy arrays over the graph's own buffers.

#include <string>
#include <vector>

#include "bindings/common/errors.hpp"
#include "bindings/common/state_conversion.hpp"
#include "bindings/objects/visibility_graph_methods.hpp"
#include "bindings/objects/visibility_graph_object.hpp"
#include "core/graph/graph_state.hpp"

namespace kaltrope::bindings {
namespace {

PyObject* string_list(const std::vector<std::string>& names) {
    PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(names.size())));
    if (!list) return nullptr;
    for (std::size_t i = 0; i < names.size(); ++i) {
        PyObject* name = PyUnicode_FromStringAndSize(names[i].data(), static_cast<Py_ssize_t>(names[i].size()));
        if (name == nullptr) return nullptr;
        PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), name);  // steals name
    }
    return list.release();
}

// (version, offsets, neighbors, feature_names, feature_values, feature_present,
// sample_values, sample_timestamps); the feature items None for a graph
// without features.
PyObject* reduce(PyObject* self, PyObject*) {
    return guarded([&]() -> PyObject* {
        const GraphState state = graph_state(graph_of(self));
        const bool features = state.has_features;
        return reduce_with(self, kGraphStateVersion,
                           {array_view(state.offsets, self), array_view(state.neighbors, self),
                            features ? string_list(state.feature_names) : none_item(),
                            features ? array_view(state.feature_values, self) : none_item(),
                            features ? array_view(state.feature_present, self) : none_item(),
                            array_view(state.sample_values, self), array_view(state.sample_timestamps, self)});
    });
}

std::optional<std::vector<std::string>> string_items(PyObject* object) {
    if (!PyList_Check(object)) {
        PyErr_SetString(PyExc_TypeError, "state: feature_names must be a list");
        return std::nullopt;
    }
    std::vector<std::string> names;
    for (Py_ssize_t i = 0; i < PyList_Size(object); ++i) {
        auto name = state_string(PyList_GetItem(object, i), "a feature name");
        if (!name) return std::nullopt;
        names.push_back(std::move(*name));
    }
    return names;
}

PyObject* restore(PyObject*, PyObject* args) {
    return guarded([&]() -> PyObject* {
        const auto items = state_tuple(args, 8, "VisibilityGraph state");
        if (!items) return nullptr;
        const auto& item = *items;
        if (!check_state_version(item[0], kGraphStateVersion, "VisibilityGraph")) return nullptr;
        const auto offsets = state_array<std::uint64_t>(item[1], "offsets");
        if (!offsets) return nullptr;
        const auto neighbors = state_array<std::uint32_t>(item[2], "neighbors");
        if (!neighbors) return nullptr;
        GraphState state;
        state.offsets = offsets->values;
        state.neighbors = neighbors->values;
        std::optional<StateArray<double>> values;
        std::optional<StateArray<std::uint8_t>> present;
        state.has_features = item[3] != Py_None;
        if (state.has_features) {
            auto names = string_items(item[3]);
            if (!names) return nullptr;
            state.feature_names = std::move(*names);
            values = state_array<double>(item[4], "feature_values");
            if (!values) return nullptr;
            present = state_array<std::uint8_t>(item[5], "feature_present");
            if (!present) return nullptr;
            state.feature_values = values->values;
            state.feature_present = present->values;
        } else if (item[4] != Py_None || item[5] != Py_None) {
            return raise_value_error("invalid VisibilityGraph state: features without a feature table");
        }
        const auto sample_values = state_array<double>(item[6], "sample_values");
        if (!sample_values) return nullptr;
        const auto sample_timestamps = state_array<double>(item[7], "sample_timestamps");
        if (!sample_timestamps) return nullptr;
        state.sample_values = sample_values->values;
        state.sample_timestamps = sample_timestamps->values;
        auto graph = without_lock([&] { return restore_graph(state); });
        if (!graph) return raise_value_error(graph.error());
        return wrap_graph(std::move(*graph));
    });
}

PyMethodDef methods[] = {
    {"__reduce__", reduce, METH_NOARGS,
     "__reduce__($self)\n--\n\n"
     "The state of the graph, for pickle and copy.\n\n"
     "Returns\n-------\ntuple\n"
     "    ``(VisibilityGraph._restore, state)``: the neighbour rows and the node\n"
     "    feature table as read-only NumPy arrays over the graph's buffers\n"
     "    (handed out of band by pickle protocol 5)."},
    {"_restore", restore, METH_VARARGS | METH_CLASS,
     "_restore($cls, version, /, *state)\n--\n\n"
     "The graph a state of ``__reduce__`` describes.\n\n"
     "Raises\n------\nValueError\n"
     "    For an unknown version or a state that is no graph (edges out of\n"
     "    range, unsorted or one-sided neighbour rows, mismatched features).\n"
     "TypeError\n    For an item of the wrong type."},
};

}  // namespace

std::span<const PyMethodDef> visibility_graph_state_methods() { return methods; }

}  // namespace kaltrope::bindings
