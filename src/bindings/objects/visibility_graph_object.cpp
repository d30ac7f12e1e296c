// VisibilityGraph: made by the graph functions and the TimeSeries methods,
// never by Python code; read-only.

#include "bindings/objects/visibility_graph_object.hpp"

#include <string>

#include "analysis/statistics/degree_statistics.hpp"
#include "analysis/statistics/graph_statistics.hpp"
#include "core/graph/visibility_graph_builder.hpp"
#include "bindings/common/argument_conversion.hpp"
#include "bindings/common/class_support.hpp"
#include "bindings/common/method_table.hpp"
#include "bindings/common/errors.hpp"
#include "bindings/objects/visibility_graph_methods.hpp"

namespace kaltrope::bindings {
namespace {

PyTypeObject* graph_type = nullptr;

PyObject* represent(PyObject* self) {
    return guarded([&]() -> PyObject* {
        const VisibilityGraph& graph = graph_of(self);
        const std::string text = "VisibilityGraph(nodes=" + std::to_string(graph.node_count()) +
                                 ", edges=" + std::to_string(graph.edge_count()) +
                                 ", density=" + fixed_point(density(graph), 4) + ")";
        return PyUnicode_FromString(text.c_str());
    });
}

}  // namespace

int add_visibility_graph_class(PyObject* module) {
    static std::vector<PyMethodDef> methods =
        joined_methods({visibility_graph_query_methods(), visibility_graph_export_methods(),
                        visibility_graph_feature_methods(), visibility_graph_metric_methods(),
                        visibility_graph_pattern_methods(), visibility_graph_state_methods()});

    static PyType_Slot slots[] = {
        {Py_tp_doc, const_cast<char*>("Python wrapper for VisibilityGraph.")},
        {Py_tp_new, reinterpret_cast<void*>(no_constructor)},
        {Py_tp_dealloc, reinterpret_cast<void*>(release_holder<VisibilityGraph>)},
        {Py_tp_repr, reinterpret_cast<void*>(represent)},
        {Py_tp_methods, methods.data()},
        {0, nullptr},
    };

    static PyType_Spec spec = {"_kaltrope.VisibilityGraph", sizeof(Holder<VisibilityGraph>), 0, Py_TPFLAGS_DEFAULT, slots};

    graph_type = add_class(module, spec);
    return graph_type != nullptr ? 0 : -1;
}

const VisibilityGraph& graph_of(PyObject* self) { return held<VisibilityGraph>(self); }

PyObject* build_graph(const TimeSeries& series, std::optional<FeatureSet> feature_set, VisibilityKind kind) {
    auto graph = without_lock([&] {
        VisibilityGraphBuilder builder(series, std::move(feature_set));
        return kind == VisibilityKind::Natural ? std::move(builder).natural_visibility()
                                               : std::move(builder).horizontal_visibility();
    });
    if (!graph) return raise_error(graph.error());
    return wrap_graph(std::move(*graph));
}

PyObject* wrap_graph(VisibilityGraph graph) { return wrap(graph_type, std::move(graph)); }

std::optional<std::size_t> node_argument(PyObject* args, PyObject* kwargs, const char* format, const char* keyword) {
    const char* keywords[] = {keyword, nullptr};
    PyObject* node = nullptr;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, format, const_cast<char**>(keywords), &node)) return std::nullopt;
    return unsigned_size(node, keyword);
}

std::optional<NodePair> node_pair_arguments(PyObject* args, PyObject* kwargs, const char* format, const char* first,
                                            const char* second) {
    const char* keywords[] = {first, second, nullptr};
    PyObject* first_node = nullptr;
    PyObject* second_node = nullptr;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, format, const_cast<char**>(keywords), &first_node, &second_node)) {
        return std::nullopt;
    }
    const auto first_value = unsigned_size(first_node, first);
    if (!first_value) return std::nullopt;
    const auto second_value = unsigned_size(second_node, second);
    if (!second_value) return std::nullopt;
    return NodePair{*first_value, *second_value};
}

}  // namespace kaltrope::bindings
