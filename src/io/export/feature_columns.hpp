#pragma once
// The feature columns that the exports write.

#include <cstddef>
#include <vector>

#include "core/features/node_feature_table.hpp"

namespace kaltrope::io {

// The columns of table with a value at one node at least, ordered by their
// names' bytes.
std::vector<std::size_t> sorted_feature_columns(const NodeFeatureTable& table);

// Calls visit(name, value) for each feature with a value at node, in column
// order.
template <class Visit>
void for_each_feature(const NodeFeatureTable& table, std::size_t node, Visit&& visit) {
    for (std::size_t column = 0; column < table.names().size(); ++column) {
        if (const auto value = table.value(node, column)) visit(table.names()[column], *value);
    }
}

}  // namespace kaltrope::io
