#include "core/graph/adjacency.hpp"

#include <algorithm>

#include "support/interruption.hpp"
#include "support/worker_pool.hpp"

namespace kaltrope {
namespace {

// Below this many nodes per thread, one thread builds the rows alone.
constexpr std::size_t kMinNodesPerOwner = std::size_t{1} << 14;

// The nodes [begin, end) whose row ends one thread counts and fills.
struct OwnedNodes {
    std::uint32_t begin;
    std::uint32_t end;

    bool contains(std::uint32_t node) const { return node - begin < end - begin; }
};

// Calls visit(owned, edges) on the worker pool, once per range of nodes
// that one thread owns, with every part: each thread reads all edges and
// keeps the ends in its own range, so no two threads write the same place
// and no write needs to be atomic.
template <class Visit>
void for_each_owner(std::size_t node_count, std::span<const EdgeList> parts, Visit&& visit) {
    const std::size_t owners = std::clamp<std::size_t>(node_count / kMinNodesPerOwner, 1, parallel::thread_count());
    parallel::for_each_range(owners, 1, [&](std::size_t first, std::size_t last) {
        for (std::size_t k = first; k < last; ++k) {
            const OwnedNodes owned{static_cast<std::uint32_t>(node_count * k / owners),
                                   static_cast<std::uint32_t>(node_count * (k + 1) / owners)};
            for (const EdgeList& part : parts) visit(owned, part);
        }
    });
}

}  // namespace

Adjacency Adjacency::from_edges(std::size_t node_count, std::span<const EdgeList> parts) {
    // offsets[v] counts the degree of v, then, summed up, marks the end of
    // row v; each row is filled from its end, which leaves offsets[v] at its
    // start.
    std::vector<std::uint64_t> offsets(node_count + 1, 0);
    for_each_owner(node_count, parts, [&](OwnedNodes owned, const EdgeList& edges) {
        interruption::poll();
        for (const Edge& edge : edges) {
            if (owned.contains(edge.a)) ++offsets[edge.a];
            if (owned.contains(edge.b)) ++offsets[edge.b];
        }
    });
    for (std::size_t v = 1; v < node_count; ++v) offsets[v] += offsets[v - 1];
    if (node_count != 0) offsets[node_count] = offsets[node_count - 1];

    auto neighbors = memory::allocate_large_buffer<std::uint32_t>(offsets.back());
    std::uint32_t* const rows = neighbors.get();
    for_each_owner(node_count, parts, [&](OwnedNodes owned, const EdgeList& edges) {
        interruption::poll();
        for (const Edge& edge : edges) {
            if (owned.contains(edge.a)) rows[--offsets[edge.a]] = edge.b;
            if (owned.contains(edge.b)) rows[--offsets[edge.b]] = edge.a;
        }
    });
    // Rows are short on average, so sorting each costs less than ordering
    // the edges before they are spread.
    parallel::for_each_index(node_count, [&](std::size_t v) { std::sort(rows + offsets[v], rows + offsets[v + 1]); });
    return Adjacency(std::move(offsets), std::move(neighbors));
}

Adjacency Adjacency::spread(std::span<const std::uint32_t> nodes, std::size_t node_count) && {
    std::vector<std::uint64_t> offsets(node_count + 1, 0);
    for (std::size_t i = 0; i < nodes.size(); ++i) offsets[nodes[i] + 1] = degree(i);
    for (std::size_t v = 0; v < node_count; ++v) offsets[v + 1] += offsets[v];
    // Renaming keeps each row ascending, since nodes is.
    std::uint32_t* const names = neighbors_.get();
    parallel::for_each_index(offsets.back(), [&](std::size_t k) { names[k] = nodes[names[k]]; });
    return Adjacency(std::move(offsets), std::move(neighbors_));
}

}  // namespace kaltrope
