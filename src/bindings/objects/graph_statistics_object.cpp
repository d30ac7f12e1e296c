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

#define KALTROPE_FIELD(name, doc) {#name, get<&GraphStatistics::name>, nullptr, doc, nullptr}

PyGetSetDef fields[] = {
    KALTROPE_FIELD(node_count, "The number of nodes (int)."),
    KALTROPE_FIELD(edge_count, "The number of edges (int)."),
    KALTROPE_FIELD(is_directed, "Always False: visibility graphs are undirected (bool)."),
    KALTROPE_FIELD(average_degree, "The mean degree, 2E / n (float)."),
    KALTROPE_FIELD(min_degree, "The smallest degree (int)."),
    KALTROPE_FIELD(max_degree, "The largest degree (int)."),
    KALTROPE_FIELD(degree_std_dev, "The standard deviation of the degrees (float)."),
    KALTROPE_FIELD(degree_variance, "The population variance of the degrees (float)."),
    KALTROPE_FIELD(average_clustering, "The average clustering coefficient (float)."),
    KALTROPE_FIELD(global_clustering, "The global clustering coefficient, or transitivity (float)."),
    KALTROPE_FIELD(average_path_length, "The mean shortest-path length over the pairs a path joins (float)."),
    KALTROPE_FIELD(diameter, "The largest eccentricity within the components (int)."),
    KALTROPE_FIELD(radius, "The smallest eccentricity within the components (int)."),
    KALTROPE_FIELD(density, "The share of node pairs joined by an edge (float)."),
    KALTROPE_FIELD(is_connected, "Whether a path joins every pair of nodes (bool)."),
    KALTROPE_FIELD(num_components, "The number of connected components (int)."),
    KALTROPE_FIELD(largest_component_size, "The number of nodes of the largest component (int)."),
    KALTROPE_FIELD(assortativity, "The degree assortativity, 0.0 where undefined (float)."),
    KALTROPE_FIELD(feature_count, "The number of node features, 0 without features (int)."),
    KALTROPE_FIELD(community_count, "The number of communities that detect_communities() finds (int)."),
    KALTROPE_FIELD(modularity, "The modularity of those communities (float)."),
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
           &GraphStatistics::num_components, &GraphStatistics::largest_component_size, &GraphStatistics::assortativity,
           &GraphStatistics::feature_count, &GraphStatistics::community_count, &GraphStatistics::modularity>;

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
    {Py_tp_doc, const_cast<char*>("Every measure of a graph at once, from\n"
                                  "`VisibilityGraph.compute_statistics`.\n"
                                  "\n"
                                  "Read-only attributes named and computed as the VisibilityGraph methods\n"
                                  "(`average_clustering` is `clustering_coefficient`, `global_clustering`\n"
                                  "is `global_clustering_coefficient`, `num_components` is\n"
                                  "`count_components`); ``str`` and ``repr`` give a boxed summary. The\n"
                                  "class has no constructor.\n"
                                  "\n"
                                  "Raises\n"
                                  "------\n"
                                  "TypeError\n"
                                  "    If called: use VisibilityGraph.compute_statistics.\n"
                                  "\n"
                                  "Examples\n"
                                  "--------\n"
                                  ">>> import kaltrope as kt\n"
                                  ">>> statistics = kt.natural_visibility([1.0, 3.0, 2.0, 4.0]).compute_statistics()\n"
                                  ">>> statistics.node_count, statistics.edge_count, statistics.diameter\n"
                                  "(4, 4, 2)\n")},
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
