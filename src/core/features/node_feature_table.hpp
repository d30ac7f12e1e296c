#pragma once
// The features of every node of a series: per node, a value for each
// feature name that has one there.

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kaltrope {

// One column per feature name, with a mask of the nodes that have a value,
// rather than a map per node: a million nodes cost two allocations.
class NodeFeatureTable {
public:
    // No table at all (a graph built without features).
    NodeFeatureTable() = default;
    // node_count nodes, none with a value yet.
    NodeFeatureTable(std::size_t node_count, std::vector<std::string> names)
        : node_count_(node_count),
          names_(std::move(names)),
          values_(node_count_ * names_.size()),
          present_(node_count_ * names_.size()) {}

    // A table over saved columns, after checking them: one value and one
    // presence byte (0 or 1) per node and name, column after column, and
    // distinct names.
    static std::expected<NodeFeatureTable, std::string> restore(std::size_t node_count, std::vector<std::string> names,
                                                                std::span<const double> values,
                                                                std::span<const std::uint8_t> present);

    std::size_t node_count() const { return node_count_; }
    // The columns end to end, for saving: node_count() entries per name.
    std::span<const double> values() const { return values_; }
    std::span<const std::uint8_t> present() const { return present_; }
    // The columns, in the order in which their features were first added.
    std::span<const std::string> names() const { return names_; }

    std::optional<double> value(std::size_t node, std::size_t column) const {
        const std::size_t at = column * node_count_ + node;
        return present_[at] ? std::optional(values_[at]) : std::nullopt;
    }

    // The number of features with a value at node.
    std::size_t value_count(std::size_t node) const {
        std::size_t count = 0;
        for (std::size_t column = 0; column < names_.size(); ++column) count += present_[column * node_count_ + node];
        return count;
    }

    // Safe from several threads at once for different nodes.
    void set(std::size_t node, std::size_t column, double value) {
        const std::size_t at = column * node_count_ + node;
        values_[at] = value;
        present_[at] = 1;
    }

private:
    std::size_t node_count_ = 0;
    std::vector<std::string> names_;
    std::vector<double> values_;
    std::vector<std::uint8_t> present_;  // bytes, not bits: nodes are written concurrently
};

}  // namespace kaltrope
