#pragma once
// A visibility graph written as text: GraphML, DOT, JSON and three CSV forms.
// Every line ends in a line feed, the last included; feature names are
// escaped as each format needs (escaped_text.hpp). Nodes come in index order, edges
// (a, b) with a < b ascending, and numbers as append_shortest_float writes
// them. A node's features come in the order of the feature table's columns.

#include <string>

#include "core/graph/visibility_graph.hpp"
#include "support/interruption.hpp"

namespace kaltrope::io {

// Node loops poll for interruption once every this many nodes (edge loops
// poll in Adjacency::for_each_edge).
inline constexpr std::size_t kNodesPerPoll = 4096;

// One node key per feature name that has a value at some node, sorted by
// bytes; one data element per feature value.
std::string to_graphml(const VisibilityGraph& graph);

// Nodes labelled with their index, their features in a tooltip.
std::string to_dot(const VisibilityGraph& graph);

struct JsonOptions {
    bool include_weights = true;
    bool include_features = true;
    // Indented by two spaces a level; compact output has one item a line.
    bool pretty = true;
};

// The node count, the edges, and the features when asked for and present.
// JSON has no NaN or infinity: non-finite values are written as null.
std::string to_json(const VisibilityGraph& graph, const JsonOptions& options);

// "source,target[,weight]", then one line per edge.
std::string to_edge_list_csv(const VisibilityGraph& graph, bool include_weights);

// "node,0,1,...", then each node's row of the adjacency matrix.
std::string to_adjacency_matrix_csv(const VisibilityGraph& graph);

// "node" and one column per feature name that has a value at some node,
// sorted by bytes; an empty cell where a node has no value. Just "node"
// without features.
std::string features_to_csv(const VisibilityGraph& graph);

}  // namespace kaltrope::io
