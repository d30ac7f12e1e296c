// GraphStatistics: the summary record of a graph, read-only, printed as its
// boxed text.

#include "bindings/objects/graph_statistics_object.hpp"

#include <string>

#include "bindings/common/class_support.hpp"
#include "bindings/common/errors.hpp"
#include "bindings/common/result_conversion.hpp"
#include "bindings/common/state_conversion.hpp"
#include "analysis/statistics/statistics_state.hpp"

namespace kaltrope::bindings {
namespace {

PyTypeObject* statistics_type = nullptr;

template <auto field>
PyObject* get(PyObject* self, void*) {
    return guarded([&] { return to_python(held<GraphStatistics>(self).*field); });
}

PyObject* text(PyObject* self) {
    return guarded([&] {
        const std::string summary = summary_text(held<GraphStatistics>(self));
        return PyUnicode_DecodeUTF8(summary.data(), static_cast<Py_ssize_t>(summary.size()), "strict");
    });
}

#define KALTROPE_FIELD(name) {#name, get<&GraphStatistics::name>, nullptr, nullptr, nullptr}

PyGetSetDef fields[] = {
    KALTROPE_FIELD(node_count),
    KALTROPE_FIELD(edge_count),
    KALTROPE_FIELD(is_directed),
    KALTROPE_FIELD(average_degree),
    KALTROPE_FIELD(min_degree),
    KALTROPE_FIELD(max_degree),
    KALTROPE_FIELD(degree_std_dev),
    KALTROPE_FIELD(degree_variance),
    KALTROPE_FIELD(average_clustering),
    KALTROPE_FIELD(global_clustering),
    KALTROPE_FIELD(average_path_length),
    KALTROPE_FIELD(diameter),
    KALTROPE_FIELD(radius),
    KALTROPE_FIELD(density),
    KALTROPE_FIELD(is_connected),
    KALTROPE_FIELD(num_components),
    KALTROPE_FIELD(largest_component_size),
    KALTROPE_FIELD(assortativity),
    KALTROPE_FIELD(feature_count),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

#undef KALTROPE_FIELD

// The saved fields, in the order of the properties.
template <auto... field>
struct Fields {
    static constexpr std::size_t kCount = sizeof...(field);

    static PyObject* to_tuple(const GraphStatistics& statistics) {
        PyRef tuple = PyRef::steal(PyTuple_New(kCount));
        if (!tuple) return nullptr;
        Py_ssize_t at = 0;
        const bool complete = ([&] {
            PyObject* item = to_python(statistics.*field);
            if (item == nullptr) return false;
            PyTuple_SetItem(tuple.get(), at++, item);  // steals item
            return true;
        }() && ...);
        return complete ? tuple.release() : nullptr;
    }

    static bool from_items(const std::vector<PyObject*>& items, GraphStatistics& statistics) {
        std::size_t at = 0;
        return (read(items[at++], statistics.*field) && ...);
    }

private:
    static bool read(PyObject* object, std::size_t& value) { return assign(state_count(object, "a count"), value); }
    static bool read(PyObject* object, bool& value) { return assign(state_bool(object, "a flag"), value); }
    static bool read(PyObject* object, double& value) { return assign(state_float(object, "a measure"), value); }
    template <class Value, class Read>
    static bool assign(const std::optional<Read>& read, Value& value) {
        if (read) value = static_cast<Value>(*read);
        return read.has_value();
    }
};

using SavedFields =
    Fields<&GraphStatistics::node_count, &GraphStatistics::edge_count, &GraphStatistics::is_directed,
           &GraphStatistics::average_degree, &GraphStatistics::min_degree, &GraphStatistics::max_degree,
           &GraphStatistics::degree_std_dev, &GraphStatistics::degree_variance, &GraphStatistics::average_clustering,
           &GraphStatistics::global_clustering, &GraphStatistics::average_path_length, &GraphStatistics::diameter,
           &GraphStatistics::radius, &GraphStatistics::density, &GraphStatistics::is_connected,
           &GraphStatistics::num_components, &GraphStatistics::largest_component_size,
           &GraphStatistics::assortativity, &GraphStatistics::feature_count>;

// (version, fields): a tuple of the properties' values in their order.
PyObject* reduce(PyObject* self, PyObject*) {
    return guarded([&] {
        return reduce_with(self, kStatisticsStateVersion, {SavedFields::to_tuple(held<GraphStatistics>(self))});
    });
}

PyObject* restore(PyObject*, PyObject* args) {
    return guarded([&]() -> PyObject* {
        const auto items = state_tuple(args, 2, "GraphStatistics state");
        if (!items) return nullptr;
        if (!check_state_version((*items)[0], kStatisticsStateVersion, "GraphStatistics")) return nullptr;
        const auto fields = state_tuple((*items)[1], SavedFields::kCount, "fields");
        if (!fields) return nullptr;
        GraphStatistics statistics;
        if (!SavedFields::from_items(*fields, statistics)) return nullptr;
        auto restored = restore_statistics(statistics);
        if (!restored) return raise_value_error(restored.error());
        return wrap_statistics(*restored);
    });
}

PyMethodDef methods[] = {
    {"__reduce__", reduce, METH_NOARGS,
     "__reduce__($self)\n--\n\n"
     "The state of the record, for pickle and copy.\n\n"
     "Returns\n-------\ntuple\n"
     "    ``(GraphStatistics._restore, state)``: the values of its properties in order."},
    {"_restore", restore, METH_VARARGS | METH_CLASS,
     "_restore($cls, version, /, *state)\n--\n\n"
     "The record a state of ``__reduce__`` describes.\n\n"
     "Raises\n------\nValueError\n"
     "    For an unknown version or a state that describes no record.\n"
     "TypeError\n    For an item of the wrong type."},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_doc, const_cast<char*>("Python wrapper for GraphStatistics.")},
    {Py_tp_new, reinterpret_cast<void*>(no_constructor)},
    {Py_tp_dealloc, reinterpret_cast<void*>(release_holder<GraphStatistics>)},
    {Py_tp_str, reinterpret_cast<void*>(text)},
    {Py_tp_repr, reinterpret_cast<void*>(text)},
    {Py_tp_getset, fields},
    {Py_tp_methods, methods},
    {0, nullptr},
};

PyType_Spec spec = {"_kaltrope.GraphStatistics", sizeof(Holder<GraphStatistics>), 0, Py_TPFLAGS_DEFAULT, slots};

}  // namespace

int add_graph_statistics_class(PyObject* module) {
    statistics_type = add_class(module, spec);
    return statistics_type != nullptr ? 0 : -1;
}

PyObject* wrap_statistics(GraphStatistics statistics) { return wrap(statistics_type, std::move(statistics)); }

}  // namespace kaltrope::bindings
