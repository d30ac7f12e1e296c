#pragma once
// The methods of the VisibilityGraph class, one table per file that defines
// them, and the node arguments those methods share.

#include <cstddef>
#include <optional>
#include <span>

#include "bindings/common/python.hpp"

namespace kaltrope::bindings {

// The method tables of the files that define them: the graph's structure,
// measures computed from it, the node feature table, three-node motifs, the
// graph as text and files, communities, values per edge or node as arrays,
// and its saved state.
std::span<const PyMethodDef> visibility_graph_query_methods();
std::span<const PyMethodDef> visibility_graph_metric_methods();
std::span<const PyMethodDef> visibility_graph_feature_methods();
std::span<const PyMethodDef> visibility_graph_pattern_methods();
std::span<const PyMethodDef> visibility_graph_export_methods();
std::span<const PyMethodDef> visibility_graph_community_methods();
std::span<const PyMethodDef> visibility_graph_array_methods();
std::span<const PyMethodDef> visibility_graph_state_methods();

// The node argument of a method taking one, named keyword; nothing with the
// error set.
std::optional<std::size_t> node_argument(PyObject* args, PyObject* kwargs, const char* format, const char* keyword);

// The two node arguments of a method taking a pair, named first and second.
struct NodePair {
    std::size_t first;
    std::size_t second;
};
std::optional<NodePair> node_pair_arguments(PyObject* args, PyObject* kwargs, const char* format, const char* first,
                                            const char* second);

}  // namespace kaltrope::bindings
