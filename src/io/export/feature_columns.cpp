#include "io/export/feature_columns.hpp"

#include <algorithm>

namespace kaltrope::io {

std::vector<std::size_t> sorted_feature_columns(const NodeFeatureTable& table) {
    std::vector<std::size_t> columns;
    for (std::size_t column = 0; column < table.names().size(); ++column) {
        for (std::size_t node = 0; node < table.node_count(); ++node) {
            if (table.value(node, column)) {
                columns.push_back(column);
                break;
            }
        }
    }
    // std::string compares as unsigned bytes.
    std::ranges::sort(columns, {}, [&](std::size_t column) -> const std::string& { return table.names()[column]; });
    return columns;
}

}  // namespace kaltrope::io
