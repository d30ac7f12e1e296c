#include "core/graph/adjacency_arrays.hpp"

#include <algorithm>
#include <vector>

#include "support/worker_pool.hpp"

namespace kaltrope {
namespace {

// Nodes are taken in ranges of this many: each range counts its edges, then
// writes them from where the ranges before it end.
constexpr std::size_t kNodesPerRange = std::size_t{1} << 14;

// The neighbours above node, ascending.
std::span<const std::uint32_t> upper_neighbors(const Adjacency& adjacency, std::size_t node) {
    const auto row = adjacency.neighbors(node);
    return {std::ranges::upper_bound(row, node), row.end()};
}

}  // namespace

void write_edge_pairs(const Adjacency& adjacency, std::span<std::int64_t> pairs) {
    const std::size_t n = adjacency.node_count();
    const std::size_t ranges = (n + kNodesPerRange - 1) / kNodesPerRange;
    const auto nodes_of = [&](std::size_t range) {
        return std::pair(range * kNodesPerRange, std::min(n, (range + 1) * kNodesPerRange));
    };
    std::vector<std::size_t> first_edge(ranges + 1, 0);
    parallel::for_each_index(ranges, [&](std::size_t range) {
        const auto [begin, end] = nodes_of(range);
        for (std::size_t a = begin; a < end; ++a) first_edge[range + 1] += upper_neighbors(adjacency, a).size();
    });
    for (std::size_t range = 0; range < ranges; ++range) first_edge[range + 1] += first_edge[range];
    parallel::for_each_index(ranges, [&](std::size_t range) {
        const auto [begin, end] = nodes_of(range);
        std::int64_t* out = pairs.data() + 2 * first_edge[range];
        for (std::size_t a = begin; a < end; ++a) {
            for (const std::uint32_t b : upper_neighbors(adjacency, a)) {
                *out++ = static_cast<std::int64_t>(a);
                *out++ = b;
            }
        }
    });
}

void write_degrees(const Adjacency& adjacency, std::span<std::int64_t> degrees) {
    parallel::for_each_index(adjacency.node_count(),
                             [&](std::size_t v) { degrees[v] = static_cast<std::int64_t>(adjacency.degree(v)); });
}

}  // namespace kaltrope
