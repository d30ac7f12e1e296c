#include "analysis/community/modularity.hpp"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "support/interruption.hpp"

namespace kaltrope {

double modularity(const Adjacency& adjacency, std::span<const std::uint32_t> labels, double resolution) {
    const std::size_t n = adjacency.node_count();
    if (adjacency.edge_count() == 0) return 0.0;
    // Integer sums, exact in any order; an edge inside a community is seen
    // from both ends.
    std::vector<std::uint64_t> inner_ends(n, 0);
    std::vector<std::uint64_t> degrees(n, 0);
    interruption::Countdown countdown(1u << 18);
    for (std::size_t v = 0; v < n; ++v) {
        const std::uint32_t label = labels[v];
        const auto row = adjacency.neighbors(v);
        countdown.tick(static_cast<unsigned>(std::min<std::size_t>(1 + row.size(), 1u << 18)));
        std::uint64_t inside = 0;
        for (const std::uint32_t u : row) inside += labels[u] == label;
        inner_ends[label] += inside;
        degrees[label] += row.size();
    }
    const auto m = static_cast<double>(adjacency.edge_count());
    const double norm = 1.0 / ((2.0 * m) * (2.0 * m));
    double q = 0.0;
    for (std::size_t c = 0; c < n; ++c) {
        const auto degree_sum = static_cast<double>(degrees[c]);
        q += static_cast<double>(inner_ends[c] / 2) / m - resolution * degree_sum * degree_sum * norm;
    }
    return q;
}

double modularity(const Adjacency& adjacency, std::span<const std::int64_t> labels, double resolution) {
    // Renumbered 0, 1, ... in order of first appearance, so that the
    // communities' terms are summed in the same order for any labels;
    // through a table where the labels are below the node count.
    std::vector<std::uint32_t> dense(labels.size());
    const std::size_t n = adjacency.node_count();
    if (std::ranges::all_of(labels, [&](std::int64_t label) { return static_cast<std::uint64_t>(label) < n; })) {
        constexpr auto kUnseen = ~std::uint32_t{0};
        std::vector<std::uint32_t> dense_of(n, kUnseen);
        std::uint32_t next = 0;
        for (std::size_t v = 0; v < labels.size(); ++v) {
            std::uint32_t& id = dense_of[static_cast<std::size_t>(labels[v])];
            if (id == kUnseen) id = next++;
            dense[v] = id;
        }
        return modularity(adjacency, std::span<const std::uint32_t>(dense), resolution);
    }
    std::unordered_map<std::int64_t, std::uint32_t> dense_of;
    for (std::size_t v = 0; v < labels.size(); ++v) {
        dense[v] = dense_of.try_emplace(labels[v], static_cast<std::uint32_t>(dense_of.size())).first->second;
    }
    return modularity(adjacency, std::span<const std::uint32_t>(dense), resolution);
}

}  // namespace kaltrope
