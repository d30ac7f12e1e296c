#include "analysis/community/communities.hpp"

#include <algorithm>

#include "analysis/community/modularity.hpp"

namespace kaltrope {
namespace {

Communities search(const VisibilityGraph& graph, const LeidenOptions& options) {
    Communities found;
    found.labels = leiden_communities(graph.adjacency(), options);
    if (!found.labels.empty()) found.count = std::size_t{*std::ranges::max_element(found.labels)} + 1;
    found.modularity = modularity(graph.adjacency(), std::span<const std::uint32_t>(found.labels), options.resolution);
    return found;
}

// The cache's key for the default search.
struct DefaultCommunities {
    Communities communities;
};

}  // namespace

const Communities& detected_communities(const VisibilityGraph& graph) {
    return graph.results().get<DefaultCommunities>([&] { return DefaultCommunities{search(graph, {})}; }).communities;
}

Communities detect_communities(const VisibilityGraph& graph, const LeidenOptions& options) {
    const LeidenOptions defaults;
    if (options.resolution == defaults.resolution && options.seed == defaults.seed) return detected_communities(graph);
    return search(graph, options);
}

double detected_modularity(const VisibilityGraph& graph) { return detected_communities(graph).modularity; }

double modularity_of_labels(const VisibilityGraph& graph, std::span<const std::int64_t> labels) {
    // The detected labels, as they are usually given back, are scored already.
    if (const auto* detected = graph.results().find<DefaultCommunities>();
        detected != nullptr && std::ranges::equal(labels, detected->communities.labels)) {
        return detected->communities.modularity;
    }
    return modularity(graph.adjacency(), labels);
}

}  // namespace kaltrope
