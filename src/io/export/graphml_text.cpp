// GraphML: the graph as XML, the edge weight and every feature as a double
// attribute.

#include <string_view>

#include "io/export/escaped_text.hpp"
#include "io/export/feature_columns.hpp"
#include "io/export/graph_text.hpp"
#include "io/export/shortest_float.hpp"

namespace kaltrope::io {
namespace {

constexpr std::string_view kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<graphml xmlns=\"http://graphml.graphdrawing.org/xmlns\"\n"
    "         xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\n"
    "         xsi:schemaLocation=\"http://graphml.graphdrawing.org/xmlns\n"
    "         http://graphml.graphdrawing.org/xmlns/1.0/graphml.xsd\">\n"
    "\n"
    "  <key id=\"weight\" for=\"edge\" attr.name=\"weight\" attr.type=\"double\"/>\n";

void append_feature_keys(std::string& text, const NodeFeatureTable& table) {
    for (const std::size_t column : sorted_feature_columns(table)) {
        const std::string& name = table.names()[column];
        text += "  <key id=\"";
        append_xml_escaped(text, name);
        text += "\" for=\"node\" attr.name=\"";
        append_xml_escaped(text, name);
        text += "\" attr.type=\"double\"/>\n";
    }
}

void append_node(std::string& text, const VisibilityGraph& graph, std::size_t node) {
    text += "    <node id=\"n";
    append_decimal(text, node);
    text += "\">\n";
    if (graph.has_features()) {
        for_each_feature(graph.node_features(), node, [&](const std::string& name, double value) {
            text += "      <data key=\"";
            append_xml_escaped(text, name);
            text += "\">";
            append_shortest_float(text, value);
            text += "</data>\n";
        });
    }
    text += "    </node>\n";
}

}  // namespace

std::string to_graphml(const VisibilityGraph& graph) {
    std::string weight;
    append_shortest_float(weight, VisibilityGraph::kEdgeWeight);
    const std::string edge_end = "\">\n      <data key=\"weight\">" + weight + "</data>\n    </edge>\n";

    std::string text(kHeader);
    if (graph.has_features()) append_feature_keys(text, graph.node_features());
    text += "\n  <graph id=\"G\" edgedefault=\"undirected\">\n";
    text.reserve(text.size() + 32 * graph.node_count() + (48 + edge_end.size()) * graph.edge_count());
    for (std::size_t node = 0; node < graph.node_count(); ++node) {
        if (node % kNodesPerPoll == 0) interruption::poll();
        append_node(text, graph, node);
    }
    std::uint64_t edge_number = 0;
    graph.adjacency().for_each_edge([&](std::size_t a, std::size_t b) {
        text += "    <edge id=\"e";
        append_decimal(text, edge_number++);
        text += "\" source=\"n";
        append_decimal(text, a);
        text += "\" target=\"n";
        append_decimal(text, b);
        text += edge_end;
    });
    text += "  </graph>\n</graphml>\n";
    return text;
}

}  // namespace kaltrope::io
