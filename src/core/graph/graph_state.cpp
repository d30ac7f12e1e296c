#include "core/graph/graph_state.hpp"

#include <algorithm>
#include <cstring>

#include "core/series/input.hpp"

namespace kaltrope {

GraphState graph_state(const VisibilityGraph& graph) {
    const NodeFeatureTable& features = graph.node_features();
    const auto names = features.names();
    return GraphState{graph.adjacency().offsets(), graph.adjacency().neighbor_rows(),
                      graph.has_features(),        std::vector<std::string>(names.begin(), names.end()),
                      features.values(),           features.present(),
                      graph.samples().values,      graph.samples().timestamps};
}

namespace {

std::expected<NodeSamples, std::string> restore_samples(const GraphState& state, std::size_t node_count) {
    const std::size_t count = state.sample_values.size();
    if (count != state.sample_timestamps.size() || (count != 0 && count != node_count)) {
        return std::unexpected("invalid VisibilityGraph state: samples do not match the nodes");
    }
    return NodeSamples{{state.sample_values.begin(), state.sample_values.end()},
                       {state.sample_timestamps.begin(), state.sample_timestamps.end()}};
}

}  // namespace

std::expected<VisibilityGraph, std::string> restore_graph(const GraphState& state) {
    auto adjacency = Adjacency::restore(state.offsets, state.neighbors);
    if (!adjacency) return std::unexpected("invalid VisibilityGraph state: " + adjacency.error());
    auto samples = restore_samples(state, adjacency->node_count());
    if (!samples) return std::unexpected(samples.error());
    if (!state.has_features) {
        if (!state.feature_names.empty() || !state.feature_values.empty() || !state.feature_present.empty()) {
            return std::unexpected("invalid VisibilityGraph state: features without a feature table");
        }
        return VisibilityGraph(std::move(*adjacency), NodeFeatureTable(), std::move(*samples));
    }
    const std::size_t node_count = adjacency->node_count();
    auto table =
        NodeFeatureTable::restore(node_count, state.feature_names, state.feature_values, state.feature_present);
    if (!table) return std::unexpected("invalid VisibilityGraph state: " + table.error());
    return VisibilityGraph(std::move(*adjacency), std::move(*table), std::move(*samples));
}

std::expected<Adjacency, std::string> Adjacency::restore(std::span<const std::uint64_t> offsets,
                                                         std::span<const std::uint32_t> neighbors) {
    if (offsets.empty() || offsets.front() != 0 || offsets.back() != neighbors.size()) {
        return std::unexpected("neighbour offsets do not span the neighbours");
    }
    const std::size_t node_count = offsets.size() - 1;
    // Nodes are numbered with 32-bit integers, as when a graph is built.
    if (node_count >= kMaxSamples) return std::unexpected("too many nodes");
    if (!std::ranges::is_sorted(offsets)) return std::unexpected("neighbour offsets decrease");
    // Every edge (a, b), a < b, is met in row a, in ascending order of a:
    // row b must list those a in the same order, below its entries above b.
    // next_lower[b] is the first entry of row b not yet matched so.
    std::vector<std::uint64_t> next_lower(offsets.begin(), offsets.end() - 1);
    for (std::size_t a = 0; a < node_count; ++a) {
        const auto row = neighbors.subspan(offsets[a], offsets[a + 1] - offsets[a]);
        std::size_t lower = 0;
        for (std::size_t i = 0; i < row.size(); ++i) {
            const std::uint32_t b = row[i];
            if (b >= node_count || b == a || (i > 0 && !(row[i - 1] < b))) {
                return std::unexpected("a neighbour row is not strictly ascending among the other nodes");
            }
            if (b < a) {
                ++lower;
            } else if (next_lower[b] == offsets[b + 1] || neighbors[next_lower[b]++] != a) {
                return std::unexpected("an edge is listed at one end only");
            }
        }
        if (next_lower[a] != offsets[a] + lower) return std::unexpected("an edge is listed at one end only");
    }
    auto rows = memory::allocate_large_buffer<std::uint32_t>(neighbors.size());
    if (!neighbors.empty()) std::memcpy(rows.get(), neighbors.data(), neighbors.size_bytes());
    return Adjacency(std::vector<std::uint64_t>(offsets.begin(), offsets.end()), std::move(rows));
}

std::expected<NodeFeatureTable, std::string> NodeFeatureTable::restore(std::size_t node_count,
                                                                       std::vector<std::string> names,
                                                                       std::span<const double> values,
                                                                       std::span<const std::uint8_t> present) {
    if (node_count == 0) return std::unexpected("a feature table needs nodes");
    const std::size_t columns = names.size();
    if (values.size() % node_count != 0 || values.size() / node_count != columns || present.size() != values.size()) {
        return std::unexpected("feature columns do not match the nodes and names");
    }
    if (std::ranges::any_of(present, [](std::uint8_t byte) { return byte > 1; })) {
        return std::unexpected("feature presence is not 0 or 1");
    }
    // The exports write a name as text: no format holds every control character.
    if (std::ranges::any_of(names, [](const std::string& name) {
            return std::ranges::any_of(name, [](char c) { return static_cast<unsigned char>(c) < 0x20; });
        })) {
        return std::unexpected("a feature name holds a control character");
    }
    std::vector<std::string> sorted = names;
    std::ranges::sort(sorted);
    if (std::ranges::adjacent_find(sorted) != sorted.end()) return std::unexpected("feature names repeat");
    NodeFeatureTable table;
    table.node_count_ = node_count;
    table.names_ = std::move(names);
    table.values_.assign(values.begin(), values.end());
    table.present_.assign(present.begin(), present.end());
    return table;
}

}  // namespace kaltrope
