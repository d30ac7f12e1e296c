#pragma once
// The graphs the community search works on: a visibility graph, then graphs
// whose nodes stand for groups of its nodes. An edge's weight counts the
// edges it stands for; a node's strength also counts, twice, the edges
// inside its group, so it equals the sum of its members' degrees.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/graph/adjacency.hpp"

namespace kaltrope {

class WeightedGraph {
public:
    // Every edge of weight 1.
    explicit WeightedGraph(const Adjacency& adjacency);

    // The graph whose node g stands for the nodes v with group[v] == g, for
    // groups numbered 0 ... group_count - 1, each with at least one node.
    WeightedGraph grouped(std::span<const std::uint32_t> group, std::size_t group_count) const;

    std::size_t node_count() const { return strength_.size(); }
    // Twice the total weight of the edges, groups' inner edges included.
    double total_strength() const { return total_strength_; }
    double strength(std::size_t node) const { return strength_[node]; }
    std::span<const std::uint32_t> neighbors(std::size_t node) const {
        return std::span(targets_).subspan(offsets_[node], offsets_[node + 1] - offsets_[node]);
    }
    // The weight of the edge to each neighbour, in neighbour order.
    std::span<const double> weights(std::size_t node) const {
        return std::span(weights_).subspan(offsets_[node], offsets_[node + 1] - offsets_[node]);
    }

private:
    WeightedGraph() = default;

    std::vector<std::uint64_t> offsets_;
    std::vector<std::uint32_t> targets_;
    std::vector<double> weights_;
    std::vector<double> strength_;
    double total_strength_ = 0.0;
};

// Weights summed per key (a community or a group) over a node's edges; keys
// come back in the order they were first added.
class KeyedWeights {
public:
    explicit KeyedWeights(std::size_t key_count) : weight_(key_count, 0.0) {}

    // weight > 0.
    void add(std::uint32_t key, double weight) {
        if (weight_[key] == 0.0) keys_.push_back(key);
        weight_[key] += weight;
    }
    void clear() {
        for (const std::uint32_t key : keys_) weight_[key] = 0.0;
        keys_.clear();
    }
    std::span<const std::uint32_t> keys() const { return keys_; }
    double weight(std::uint32_t key) const { return weight_[key]; }

private:
    std::vector<double> weight_;
    std::vector<std::uint32_t> keys_;
};

}  // namespace kaltrope
