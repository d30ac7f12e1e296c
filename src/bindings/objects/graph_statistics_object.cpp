// GraphStatistics: the summary record of a graph, read-only, printed as its
// boxed text.

#include "bindings/objects/graph_statistics_object.hpp"

#include <string>

#include "bindings/common/class_support.hpp"
#include "bindings/common/errors.hpp"
#include "bindings/common/result_conversion.hpp"

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
