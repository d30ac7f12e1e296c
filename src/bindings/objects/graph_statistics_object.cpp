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
    KALTROPE_FIELD(community_count),
    KALTROPE_FIELD(modularity),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

#undef KALTROPE_FIELD

PyType_Slot slots[] = {
    {Py_tp_doc, const_cast<char*>("Python wrapper for GraphStatistics.")},
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
