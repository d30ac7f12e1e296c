#pragma once
// The edge format every visibility engine produces.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "support/large_buffer.hpp"

namespace kaltrope {

// An edge joins samples a < b, counted from 0 within one series.
struct Edge {
    std::uint32_t a;
    std::uint32_t b;
    friend bool operator==(const Edge&, const Edge&) = default;
};

using EdgeList = std::vector<Edge, memory::LargeAllocator<Edge>>;

// The edges of many series end to end, as consecutive parts that each hold
// the edges of whole series; series k's edges end at ends[k] (counted over
// all parts).
struct GroupedEdges {
    std::vector<EdgeList> parts;
    std::vector<std::uint64_t> ends;
};

// Consecutive parts of one edge list (one per chunk of a parallel engine),
// joined in order; each part is freed once copied.
inline EdgeList join_parts(std::vector<EdgeList> parts) {
    if (parts.empty()) return {};
    if (parts.size() == 1) return std::move(parts[0]);
    std::size_t total = 0;
    for (const EdgeList& part : parts) total += part.size();
    EdgeList edges;
    edges.reserve(total);
    for (EdgeList& part : parts) {
        edges.insert(edges.end(), part.begin(), part.end());
        EdgeList().swap(part);
    }
    return edges;
}

}  // namespace kaltrope
