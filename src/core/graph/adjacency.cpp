#include "core/graph/adjacency.hpp"

#include <algorithm>

#include "support/interruption.hpp"
#include "support/worker_pool.hpp"

namespace kaltrope {

Adjacency Adjacency::from_edges(std::size_t node_count, std::span<const EdgeList> parts) {
    std::vector<std::uint64_t> offsets(node_count + 1, 0);
    for (const EdgeList& part : parts) {
        interruption::poll();
        for (const Edge& edge : part) {
            ++offsets[edge.a + 1];
            ++offsets[edge.b + 1];
        }
    }
    for (std::size_t v = 0; v < node_count; ++v) offsets[v + 1] += offsets[v];

    auto neighbors = memory::allocate_large_buffer<std::uint32_t>(offsets.back());
    std::vector<std::uint64_t> fill(offsets.begin(), offsets.end() - 1);
    for (const EdgeList& part : parts) {
        interruption::poll();
        for (const Edge& edge : part) {
            neighbors[fill[edge.a]++] = edge.b;
            neighbors[fill[edge.b]++] = edge.a;
        }
    }
    // Rows are short on average, so sorting each costs less than ordering
    // the edges before they are spread.
    parallel::for_each_index(node_count, [&](std::size_t v) {
        std::sort(neighbors.get() + offsets[v], neighbors.get() + offsets[v + 1]);
    });
    return Adjacency(std::move(offsets), std::move(neighbors));
}

Adjacency Adjacency::spread(std::span<const std::uint32_t> nodes, std::size_t node_count) && {
    std::vector<std::uint64_t> offsets(node_count + 1, 0);
    for (std::size_t i = 0; i < nodes.size(); ++i) offsets[nodes[i] + 1] = degree(i);
    for (std::size_t v = 0; v < node_count; ++v) offsets[v + 1] += offsets[v];
    // Renaming keeps each row ascending, since nodes is.
    std::uint32_t* const names = neighbors_.get();
    for (std::uint64_t k = 0; k < offsets.back(); ++k) names[k] = nodes[names[k]];
    return Adjacency(std::move(offsets), std::move(neighbors_));
}

}  // namespace kaltrope
