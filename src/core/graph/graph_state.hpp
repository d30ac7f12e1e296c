#pragma once
// A visibility graph as plain data, the form it is saved and restored in:
// its neighbour rows, its node feature table and its samples, as they are held.

#include <cstddef>
#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <vector>

#include "core/graph/visibility_graph.hpp"

namespace kaltrope {

// Changes whenever the saved form does; a state of another version is refused.
inline constexpr std::uint64_t kGraphStateVersion = 1;

struct GraphState {
    std::span<const std::uint64_t> offsets;    // node_count + 1
    std::span<const std::uint32_t> neighbors;  // the rows end to end
    bool has_features = false;
    std::vector<std::string> feature_names;
    std::span<const double> feature_values;         // node_count per name, name after name
    std::span<const std::uint8_t> feature_present;  // 1 where a value is present, else 0
    std::span<const double> sample_values;          // node_count, or empty without samples
    std::span<const double> sample_timestamps;      // as many as sample_values
};

// The state of graph; its spans view the graph.
GraphState graph_state(const VisibilityGraph& graph);

// The graph a state describes, after checking that it is one; the message
// says what is wrong otherwise.
std::expected<VisibilityGraph, std::string> restore_graph(const GraphState& state);

}  // namespace kaltrope
