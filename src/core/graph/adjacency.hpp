#pragma once
// The neighbours of every node of an undirected graph, each list ascending,
// laid end to end in one array (compressed sparse rows). Every traversal of
// a graph runs on these lists.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <string>
#include <span>
#include <vector>

#include "core/series/edge_list.hpp"
#include "support/interruption.hpp"
#include "support/large_buffer.hpp"

namespace kaltrope {

class Adjacency {
public:
    // The graph on node_count nodes whose edges (a, b), a < b < node_count,
    // each given once, are the parts end to end, in any order.
    static Adjacency from_edges(std::size_t node_count, std::span<const EdgeList> parts);

    // The same graph with node i renamed nodes[i], among node_count nodes;
    // nodes ascending, the nodes not named are isolated.
    Adjacency spread(std::span<const std::uint32_t> nodes, std::size_t node_count) &&;

    // The graph of saved rows, after checking that they are one: offsets from
    // 0 rising to neighbors.size(), each row strictly ascending below
    // node_count without the node itself, and every edge at both its ends.
    static std::expected<Adjacency, std::string> restore(std::span<const std::uint64_t> offsets,
                                                         std::span<const std::uint32_t> neighbors);

    // The rows as saved: offsets (node_count + 1) into the neighbours end to end.
    std::span<const std::uint64_t> offsets() const { return offsets_; }
    std::span<const std::uint32_t> neighbor_rows() const { return {neighbors_.get(), offsets_.back()}; }

    std::size_t node_count() const { return offsets_.size() - 1; }
    std::size_t edge_count() const { return offsets_.back() / 2; }
    std::size_t degree(std::size_t node) const { return offsets_[node + 1] - offsets_[node]; }
    std::span<const std::uint32_t> neighbors(std::size_t node) const {
        return {neighbors_.get() + offsets_[node], degree(node)};
    }

    // Calls visit(a, b) for every edge, a < b, ascending by (a, b).
    template <class Visit>
    void for_each_edge(Visit&& visit) const {
        interruption::Countdown countdown(1u << 16);
        for (std::size_t a = 0; a < node_count(); ++a) {
            const auto row = neighbors(a);
            countdown.tick(static_cast<unsigned>(std::min<std::size_t>(1 + row.size(), 1u << 16)));
            for (auto b = std::ranges::upper_bound(row, a); b != row.end(); ++b) visit(a, std::size_t{*b});
        }
    }

private:
    Adjacency(std::vector<std::uint64_t> offsets, memory::LargeBuffer<std::uint32_t> neighbors)
        : offsets_(std::move(offsets)), neighbors_(std::move(neighbors)) {}

    std::vector<std::uint64_t> offsets_;  // node_count + 1; row v is [offsets_[v], offsets_[v + 1])
    memory::LargeBuffer<std::uint32_t> neighbors_;
};

}  // namespace kaltrope
