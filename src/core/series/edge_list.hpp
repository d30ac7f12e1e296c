#pragma once
// The edge format every visibility engine produces.

#include <cstddef>
#include <cstdint>
#include <span>
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

// Results of at least this many edges (8 MiB as int64 pairs) are written
// around the cache by widen_edges.
inline constexpr std::size_t kStreamedEdges = std::size_t{1} << 19;

// Writes edges as int64 pairs a0, b0, a1, b1, ... from out on. A part of a
// result of result_edges edges in all: a large result is written with
// non-temporal stores, which do not read each line of fresh memory before
// writing it (one thread writes a 10^6-sample result about 3 ms sooner), and
// are made visible to other threads before the call returns.
void widen_edges(std::span<const Edge> edges, std::int64_t* out, std::size_t result_edges);

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
