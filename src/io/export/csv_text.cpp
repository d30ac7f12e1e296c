// The CSV forms: edge list, adjacency matrix and node features.

#include <new>

#include "io/export/escaped_text.hpp"
#include "io/export/feature_columns.hpp"
#include "io/export/graph_text.hpp"
#include "io/export/shortest_float.hpp"

namespace kaltrope::io {
namespace {

// Every matrix cell is one character, "0" or the weight "1", so a row is a
// copy of the empty row with the edges marked.
static_assert(VisibilityGraph::kEdgeWeight == 1.0);

// The matrix text of n nodes holds about 2n^2 bytes; a string that cannot
// hold it fails as an allocation would.
void reserve_matrix(std::string& text, std::size_t n) {
    const auto cells = static_cast<unsigned __int128>(n) * n;
    const unsigned __int128 size = 2 * cells + 12 * static_cast<unsigned __int128>(n + 1);
    if (size > text.max_size()) throw std::bad_alloc();
    text.reserve(static_cast<std::size_t>(size));
}

}  // namespace

std::string to_edge_list_csv(const VisibilityGraph& graph, bool include_weights) {
    std::string line_end = "\n";
    if (include_weights) {
        line_end = ",";
        append_shortest_float(line_end, VisibilityGraph::kEdgeWeight);
        line_end += "\n";
    }
    std::string text = include_weights ? "source,target,weight\n" : "source,target\n";
    text.reserve(text.size() + (16 + line_end.size()) * graph.edge_count());
    graph.adjacency().for_each_edge([&](std::size_t a, std::size_t b) {
        append_decimal(text, a);
        text += ',';
        append_decimal(text, b);
        text += line_end;
    });
    return text;
}

std::string to_adjacency_matrix_csv(const VisibilityGraph& graph) {
    const std::size_t n = graph.node_count();
    std::string text;
    reserve_matrix(text, n);
    text += "node";
    for (std::size_t column = 0; column < n; ++column) {
        text += ',';
        append_decimal(text, column);
    }
    text += '\n';
    std::string empty_row;
    for (std::size_t column = 0; column < n; ++column) empty_row += ",0";
    empty_row += '\n';
    for (std::size_t row = 0; row < n; ++row) {
        interruption::poll();
        append_decimal(text, row);
        const std::size_t cells = text.size();
        text += empty_row;
        // Cell j is the character after the j-th comma.
        for (const std::uint32_t column : graph.neighbor_indices(row)) text[cells + 2 * column + 1] = '1';
    }
    return text;
}

std::string features_to_csv(const VisibilityGraph& graph) {
    std::string text = "node";
    if (!graph.has_features()) return text + "\n";
    const NodeFeatureTable& table = graph.node_features();
    const std::vector<std::size_t> columns = sorted_feature_columns(table);
    for (const std::size_t column : columns) {
        text += ',';
        append_csv_cell(text, table.names()[column]);
    }
    text += '\n';
    for (std::size_t node = 0; node < graph.node_count(); ++node) {
        if (node % kNodesPerPoll == 0) interruption::poll();
        append_decimal(text, node);
        for (const std::size_t column : columns) {
            text += ',';
            if (const auto value = table.value(node, column)) append_shortest_float(text, *value);
        }
        text += '\n';
    }
    return text;
}

}  // namespace kaltrope::io
