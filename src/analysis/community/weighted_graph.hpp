#pragma once
// The graphs the community search works on: a visibility graph, whose edges
// weigh 1, then graphs whose nodes stand for groups of its nodes. An edge's
// weight counts the edges it stands for; a node's strength also counts,
// twice, the edges inside its group, so it equals the sum of its members'
// degrees. Both kinds offer for_each_neighbor(node, visit(neighbour, weight)),
// so the search is compiled once for each, and the first level reads no
// weights at all.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/graph/adjacency.hpp"
#include "support/interruption.hpp"
#include "support/worker_pool.hpp"

namespace kaltrope {

// Weights summed per key (a community or a group) over a node's edges; keys
// come back in the order they were first added.
class KeyedWeights {
public:
    // One slot more than keys, for the write after the last new key.
    explicit KeyedWeights(std::size_t key_count) : weight_(key_count, 0.0), keys_(key_count + 1) {}

    // Calls fill(add), which calls add(key, weight) for each weight > 0 to
    // add. The key count stays in a register meanwhile, where adding through
    // the object would store it after every weight, as the arrays' writes
    // might alias it. Without a branch: whether a key is new is as hard to
    // predict as a coin toss, and writing it anyway costs less.
    template <class Fill>
    void add_all(Fill&& fill) {
        double* const weights = weight_.data();
        std::uint32_t* const keys = keys_.data();
        std::size_t count = key_count_;
        fill([&](std::uint32_t key, double weight) {
            keys[count] = key;
            count += weights[key] == 0.0;
            weights[key] += weight;
        });
        key_count_ = count;
    }
    void clear() {
        for (const std::uint32_t key : keys()) weight_[key] = 0.0;
        key_count_ = 0;
    }
    std::span<const std::uint32_t> keys() const { return std::span(keys_).first(key_count_); }
    double weight(std::uint32_t key) const { return weight_[key]; }

private:
    std::vector<double> weight_;
    std::vector<std::uint32_t> keys_;  // each key at most once, then a spare slot
    std::size_t key_count_ = 0;
};

// The weights of a row of unit edges.
struct UnitWeights {
    double operator[](std::size_t) const { return 1.0; }
};

// A visibility graph as the search sees it: every edge of weight 1.
class UnitGraph {
public:
    explicit UnitGraph(const Adjacency& adjacency) : adjacency_(adjacency) {}

    std::size_t node_count() const { return adjacency_.node_count(); }
    double total_strength() const { return static_cast<double>(2 * adjacency_.edge_count()); }
    double strength(std::size_t node) const { return static_cast<double>(adjacency_.degree(node)); }
    double row_weight(std::size_t node) const { return strength(node); }
    std::span<const std::uint32_t> neighbors(std::size_t node) const { return adjacency_.neighbors(node); }
    UnitWeights weights(std::size_t) const { return {}; }
    template <class Visit>
    void for_each_neighbor(std::size_t node, Visit&& visit) const {
        for (const std::uint32_t u : adjacency_.neighbors(node)) visit(u, 1.0);
    }

private:
    const Adjacency& adjacency_;
};

// Graphs of fewer nodes are refined and grouped on the calling thread:
// waking the pool would cost more.
inline constexpr std::size_t kSerialNodes = 2048;

class WeightedGraph {
public:
    // The graph whose node g stands for the nodes v of graph with
    // group[v] == g, for groups numbered 0 ... group_count - 1, each with at
    // least one node. A row lists the groups in the order the members' rows
    // first reach them; to_group is scratch space of group_count keys or more
    // (used when the graph is grouped on the calling thread).
    template <class Graph>
    static WeightedGraph grouped(const Graph& graph, std::span<const std::uint32_t> group, std::size_t group_count,
                                 KeyedWeights& to_group);

    std::size_t node_count() const { return strength_.size(); }
    // Twice the total weight of the edges, groups' inner edges included.
    double total_strength() const { return total_strength_; }
    double strength(std::size_t node) const { return strength_[node]; }
    // The weight of the node's edges to other nodes: its strength less what
    // its group's inner edges weigh.
    double row_weight(std::size_t node) const { return row_weight_[node]; }
    std::span<const std::uint32_t> neighbors(std::size_t node) const {
        return std::span(targets_).subspan(offsets_[node], offsets_[node + 1] - offsets_[node]);
    }
    // The weight of the edge to each neighbour, in neighbour order.
    std::span<const double> weights(std::size_t node) const {
        return std::span(weights_).subspan(offsets_[node], offsets_[node + 1] - offsets_[node]);
    }
    template <class Visit>
    void for_each_neighbor(std::size_t node, Visit&& visit) const {
        for (std::uint64_t i = offsets_[node]; i < offsets_[node + 1]; ++i) visit(targets_[i], weights_[i]);
    }

private:
    std::vector<std::uint64_t> offsets_;
    std::vector<std::uint32_t> targets_;
    std::vector<double> weights_;
    std::vector<double> strength_;
    std::vector<double> row_weight_;
    double total_strength_ = 0.0;
};

// The members of each group, as a counting sort of the nodes by group: group
// g's members are members[first[g]] ... members[first[g + 1] - 1], in the
// order given (every node once), or ascending.
struct GroupMembers {
    std::vector<std::uint32_t> first;
    std::vector<std::uint32_t> members;

    GroupMembers(std::span<const std::uint32_t> group, std::size_t group_count);
    GroupMembers(std::span<const std::uint32_t> group, std::size_t group_count, std::span<const std::uint32_t> order);

    // Group boundaries 0 = b_0 < b_1 < ... = group_count splitting the groups
    // into at most `parts` consecutive runs of about equal member counts.
    std::vector<std::uint32_t> balanced_ranges(std::size_t parts) const;
};

template <class Graph>
WeightedGraph WeightedGraph::grouped(const Graph& graph, std::span<const std::uint32_t> group, std::size_t group_count,
                                     KeyedWeights& to_group) {
    const GroupMembers by_group(group, group_count);
    WeightedGraph coarse;
    coarse.offsets_.assign(group_count + 1, 0);
    coarse.strength_.assign(group_count, 0.0);
    coarse.row_weight_.assign(group_count, 0.0);
    coarse.total_strength_ = graph.total_strength();
    // Runs of groups are collected apart, each into rows of its own, then
    // joined in order: the rows are the same for any number of threads.
    struct Rows {
        std::vector<std::uint32_t> targets;
        std::vector<double> weights;
    };
    const bool serial = graph.node_count() < kSerialNodes;
    const std::vector<std::uint32_t> runs = by_group.balanced_ranges(serial ? 1 : parallel::thread_count() * 4);
    std::vector<Rows> run_rows(runs.size() - 1);
    parallel::for_each_index(run_rows.size(), [&](std::size_t run) {
        // The serial case reuses the caller's scratch; a run on the pool
        // needs its own.
        std::optional<KeyedWeights> own_scratch;
        KeyedWeights& weights_to = serial ? to_group : own_scratch.emplace(group_count);
        Rows& rows = run_rows[run];
        interruption::Countdown countdown(1u << 18);
        for (std::size_t g = runs[run]; g < runs[run + 1]; ++g) {
            for (std::uint32_t k = by_group.first[g]; k < by_group.first[g + 1]; ++k) {
                const std::uint32_t v = by_group.members[k];
                coarse.strength_[g] += graph.strength(v);
                // The group's own weight too, without a branch at every edge
                // end; it is left out of the row below.
                weights_to.add_all([&](auto add) {
                    graph.for_each_neighbor(v, [&](std::uint32_t u, double weight) { add(group[u], weight); });
                });
                countdown.tick(static_cast<unsigned>(1 + graph.neighbors(v).size()));
            }
            for (const std::uint32_t h : weights_to.keys()) {
                if (h == g) continue;
                rows.targets.push_back(h);
                rows.weights.push_back(weights_to.weight(h));
                coarse.row_weight_[g] += weights_to.weight(h);
            }
            // Row lengths for now, made offsets below.
            coarse.offsets_[g + 1] = rows.targets.size();
            weights_to.clear();
        }
    });
    std::uint64_t joined = 0;
    for (std::size_t run = 0; run < run_rows.size(); ++run) {
        for (std::size_t g = runs[run]; g < runs[run + 1]; ++g) coarse.offsets_[g + 1] += joined;
        joined += run_rows[run].targets.size();
    }
    coarse.targets_.reserve(joined);
    coarse.weights_.reserve(joined);
    for (const Rows& rows : run_rows) {
        coarse.targets_.insert(coarse.targets_.end(), rows.targets.begin(), rows.targets.end());
        coarse.weights_.insert(coarse.weights_.end(), rows.weights.begin(), rows.weights.end());
    }
    return coarse;
}

}  // namespace kaltrope
