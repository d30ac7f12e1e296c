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
    static std::vector<PyMethodDef> methods = joined_methods(
        {visibility_graph_query_methods(), visibility_graph_export_methods(), visibility_graph_feature_methods(),
         visibility_graph_metric_methods(), visibility_graph_pattern_methods(), visibility_graph_community_methods(),
         visibility_graph_array_methods(), visibility_graph_state_methods()});

    static PyType_Slot slots[] = {
        {Py_tp_doc, const_cast<char*>("The visibility graph of a time series: an undirected, unweighted\n"
                                      "graph with one node per sample, nodes 0, 1, ..., n-1.\n"
                                      "\n"
                                      "Made by `natural_visibility`, `horizontal_visibility` and the graph\n"
                                      "methods of TimeSeries (the class has no constructor); never changed\n"
                                      "afterwards. It answers queries (edges, neighbours, degrees), exact\n"
                                      "measures (paths, clustering, centrality, assortativity, all at once\n"
                                      "with `compute_statistics`), communities and three-node motifs, node\n"
                                      "features when built with a FeatureSet, and exports to CSV, JSON, DOT\n"
                                      "and GraphML. Every edge weighs 1.0. The traversals run on all cores\n"
                                      "without the interpreter lock; results never depend on the number of\n"
                                      "threads.\n"
                                      "\n"
                                      "Raises\n"
                                      "------\n"
                                      "TypeError\n"
                                      "    If called: use the functions that build graphs.\n"
                                      "\n"
                                      "Examples\n"
                                      "--------\n"
                                      ">>> import kaltrope as kt\n"
                                      ">>> graph = kt.natural_visibility([1.0, 3.0, 2.0, 4.0])\n"
                                      ">>> graph\n"
                                      "VisibilityGraph(nodes=4, edges=4, density=0.6667)\n"
                                      ">>> graph.neighbor_indices(1), graph.diameter()\n"
                                      "([0, 2, 3], 2)\n")},
        {Py_tp_new, reinterpret_cast<void*>(no_constructor)},
        {Py_tp_dealloc, reinterpret_cast<void*>(release_holder<VisibilityGraph>)},
        {Py_tp_repr, reinterpret_cast<void*>(represent)},
        {Py_tp_methods, methods.data()},
        {0, nullptr},
    };

    static PyType_Spec spec = {"_kaltrope.VisibilityGraph", sizeof(Holder<VisibilityGraph>), 0, Py_TPFLAGS_DEFAULT,
                               slots};

    graph_type = add_class(module, spec);
    return graph_type != nullptr ? 0 : -1;
}

const VisibilityGraph& graph_of(PyObject* self) { return held<VisibilityGraph>(self); }

PyObject* build_graph(const TimeSeries& series, std::optional<FeatureSet> feature_set, VisibilityKind kind,
                      const VisibilityLimits& limits) {
    auto graph =
        without_lock([&] { return VisibilityGraphBuilder(series, std::move(feature_set)).build(kind, limits); });
    if (!graph) return raise_error(graph.error());
    return wrap(graph_type, std::move(*graph));
}

PyObject* build_graph_of_values(std::span<const double> values, VisibilityKind kind, const VisibilityLimits& limits) {
    auto graph = without_lock([&] { return visibility_graph_of_values(values, kind, limits); });
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
