// JSON: the node count, the edge list and the node features.

#include <cmath>
#include <string_view>

#include "io/export/escaped_text.hpp"
#include "io/export/feature_columns.hpp"
#include "io/export/graph_text.hpp"
#include "io/export/shortest_float.hpp"

namespace kaltrope::io {
namespace {

// JSON has no NaN or infinity; null keeps the text readable by any parser.
void append_json_number(std::string& text, double value) {
    if (std::isfinite(value)) {
        append_shortest_float(text, value);
    } else {
        text += "null";
    }
}

// Items of a list, one a line, a comma after every item but the last.
void end_item(std::string& text, std::size_t item, std::size_t count) { text += item + 1 < count ? ",\n" : "\n"; }

void append_features(std::string& text, const NodeFeatureTable& table, std::string_view indent) {
    text += indent;
    text += ",\"features\": [\n";
    for (std::size_t node = 0; node < table.node_count(); ++node) {
        if (node % kNodesPerPoll == 0) interruption::poll();
        text += indent;
        text += indent;
        text += "{\"node\": ";
        append_decimal(text, node);
        text += ", \"values\": {";
        bool first = true;
        for_each_feature(table, node, [&](const std::string& name, double value) {
            if (!first) text += ", ";
            first = false;
            text += '"';
            append_json_escaped(text, name);
            text += "\": ";
            append_json_number(text, value);
        });
        text += "}}";
        end_item(text, node, table.node_count());
    }
    text += indent;
    text += "]\n";
}

}  // namespace

std::string to_json(const VisibilityGraph& graph, const JsonOptions& options) {
    const std::string_view indent = options.pretty ? "  " : "";
    std::string edge_end;
    if (options.include_weights) {
        edge_end = ", \"weight\": ";
        append_json_number(edge_end, VisibilityGraph::kEdgeWeight);
    }
    edge_end += "}";

    std::string text = options.pretty ? "{\n\n" : "{\n";
    text += indent;
    text += "\"nodes\": ";
    append_decimal(text, graph.node_count());
    text += ",\n";
    text += indent;
    text += "\"edges\": [\n";
    text.reserve(text.size() + (40 + edge_end.size()) * graph.edge_count());
    std::size_t edge_number = 0;
    graph.adjacency().for_each_edge([&](std::size_t a, std::size_t b) {
        text += indent;
        text += indent;
        text += "{\"source\": ";
        append_decimal(text, a);
        text += ", \"target\": ";
        append_decimal(text, b);
        text += edge_end;
        end_item(text, edge_number++, graph.edge_count());
    });
    text += indent;
    text += "]\n";
    if (options.include_features && graph.has_features()) append_features(text, graph.node_features(), indent);
    text += "}\n";
    return text;
}

}  // namespace kaltrope::io
