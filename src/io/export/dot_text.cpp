// DOT (GraphViz): nodes labelled with their index, features in a tooltip.

#include "io/export/escaped_text.hpp"
#include "io/export/feature_columns.hpp"
#include "io/export/graph_text.hpp"
#include "io/export/shortest_float.hpp"

namespace kaltrope::io {
namespace {

// DOT labels an edge with its weight only when the weight is not 1; the
// graphs of this library weigh every edge 1.
static_assert(VisibilityGraph::kEdgeWeight == 1.0);

void append_node(std::string& text, const VisibilityGraph& graph, std::size_t node) {
    text += "  ";
    append_decimal(text, node);
    text += " [label=\"";
    append_decimal(text, node);
    text += "\"]";
    if (graph.has_features() && graph.node_features().value_count(node) != 0) {
        text += " [tooltip=\"";
        bool first = true;
        for_each_feature(graph.node_features(), node, [&](const std::string& name, double value) {
            // Two characters: the DOT escape of a line break.
            if (!first) text += "\\n";
            first = false;
            append_dot_escaped(text, name);
            text += ": ";
            append_shortest_float(text, value);
        });
        text += "\"]";
    }
    text += ";\n";
}

}  // namespace

std::string to_dot(const VisibilityGraph& graph) {
    std::string text = "graph {\n  rankdir=LR;\n  node [shape=circle];\n\n";
    text.reserve(text.size() + 24 * graph.node_count() + 20 * graph.edge_count());
    for (std::size_t node = 0; node < graph.node_count(); ++node) {
        if (node % kNodesPerPoll == 0) interruption::poll();
        append_node(text, graph, node);
    }
    text += "\n";
    graph.adjacency().for_each_edge([&](std::size_t a, std::size_t b) {
        text += "  ";
        append_decimal(text, a);
        text += " -- ";
        append_decimal(text, b);
        text += ";\n";
    });
    text += "}\n";
    return text;
}

}  // namespace kaltrope::io
