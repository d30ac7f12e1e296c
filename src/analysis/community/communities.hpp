#pragma once
// The communities of a visibility graph, found by the Leiden algorithm.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "analysis/community/leiden.hpp"
#include "core/graph/visibility_graph.hpp"

namespace kaltrope {

struct Communities {
    // The community of each node, dense (0 to count - 1) and numbered in
    // order of first appearance by node index, so node 0 is in community 0.
    std::vector<std::uint32_t> labels;
    std::size_t count = 0;
    double modularity = 0.0;  // at the resolution searched with
};

// Communities of maximal modularity as the Leiden algorithm finds them
// (leiden.hpp): deterministic for a graph and options. The result for the
// default options is computed once per graph and kept with it.
Communities detect_communities(const VisibilityGraph& graph, const LeidenOptions& options = {});

// The communities found with the default options, computed once per graph
// and kept with it.
const Communities& detected_communities(const VisibilityGraph& graph);

// Their modularity (resolution 1).
double detected_modularity(const VisibilityGraph& graph);

// The modularity (resolution 1) of any labels, one per node.
double modularity_of_labels(const VisibilityGraph& graph, std::span<const std::int64_t> labels);

}  // namespace kaltrope
