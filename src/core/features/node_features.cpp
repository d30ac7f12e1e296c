#include "core/features/node_features.hpp"

#include <algorithm>

#include "support/worker_pool.hpp"

namespace kaltrope {

NodeFeatureTable compute_node_features_parallel(const FeatureSet& feature_set, std::span<const Sample> values) {
    const auto features = feature_set.features();
    // Each feature's column: the first place of its name.
    std::vector<std::string> names;
    std::vector<std::size_t> column_of(features.size());
    for (std::size_t k = 0; k < features.size(); ++k) {
        const std::string_view name = features[k]->name();
        const auto found = std::ranges::find(names, name);
        column_of[k] = static_cast<std::size_t>(found - names.begin());
        if (found == names.end()) names.emplace_back(name);
    }

    NodeFeatureTable table(values.size(), std::move(names));
    const FeatureContext context(values, feature_set.missing_strategy());
    parallel::for_each_index(values.size(), [&](std::size_t node) {
        for (std::size_t k = 0; k < features.size(); ++k) {
            if (const auto value = features[k]->compute(context, node)) table.set(node, column_of[k], *value);
        }
    });
    return table;
}

}  // namespace kaltrope
