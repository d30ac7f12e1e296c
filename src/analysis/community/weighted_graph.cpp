#include "analysis/community/weighted_graph.hpp"

namespace kaltrope {

WeightedGraph::WeightedGraph(const Adjacency& adjacency) {
    const std::size_t n = adjacency.node_count();
    offsets_.assign(n + 1, 0);
    targets_.reserve(2 * adjacency.edge_count());
    strength_.resize(n);
    for (std::size_t v = 0; v < n; ++v) {
        const auto row = adjacency.neighbors(v);
        targets_.insert(targets_.end(), row.begin(), row.end());
        offsets_[v + 1] = targets_.size();
        strength_[v] = static_cast<double>(row.size());
    }
    weights_.assign(targets_.size(), 1.0);
    total_strength_ = static_cast<double>(targets_.size());
}

WeightedGraph WeightedGraph::grouped(std::span<const std::uint32_t> group, std::size_t group_count) const {
    // The members of each group, by a counting sort of the nodes.
    std::vector<std::uint32_t> first(group_count + 1, 0);
    for (const std::uint32_t g : group) ++first[g + 1];
    for (std::size_t g = 0; g < group_count; ++g) first[g + 1] += first[g];
    std::vector<std::uint32_t> members(group.size());
    std::vector<std::uint32_t> fill(first.begin(), first.end() - 1);
    for (std::size_t v = 0; v < group.size(); ++v) members[fill[group[v]]++] = static_cast<std::uint32_t>(v);

    WeightedGraph coarse;
    coarse.offsets_.assign(group_count + 1, 0);
    coarse.strength_.assign(group_count, 0.0);
    coarse.total_strength_ = total_strength_;
    // At most as many edges as this graph has, and usually far fewer.
    coarse.targets_.reserve(targets_.size());
    coarse.weights_.reserve(targets_.size());
    KeyedWeights to_group(group_count);
    for (std::size_t g = 0; g < group_count; ++g) {
        for (std::uint32_t k = first[g]; k < first[g + 1]; ++k) {
            const std::uint32_t v = members[k];
            coarse.strength_[g] += strength_[v];
            const auto row = neighbors(v);
            const auto row_weights = weights(v);
            for (std::size_t i = 0; i < row.size(); ++i) {
                if (group[row[i]] != g) to_group.add(group[row[i]], row_weights[i]);
            }
        }
        for (const std::uint32_t h : to_group.keys()) {
            coarse.targets_.push_back(h);
            coarse.weights_.push_back(to_group.weight(h));
        }
        coarse.offsets_[g + 1] = coarse.targets_.size();
        to_group.clear();
    }
    return coarse;
}

}  // namespace kaltrope
