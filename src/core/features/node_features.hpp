#pragma once
// The node features of a series, computed on the worker pool.

#include <span>

#include "core/features/feature_set.hpp"
#include "core/features/node_feature_table.hpp"
#include "core/time_series/sample.hpp"

namespace kaltrope {

// Every feature of feature_set at every node of values, with missing samples
// filled by the set's strategy. A node gets the value of each feature that
// has one there; of features with the same name the last with a value wins,
// in the column of the first. The table does not depend on the number of
// threads.
NodeFeatureTable compute_node_features_parallel(const FeatureSet& feature_set, std::span<const Sample> values);

}  // namespace kaltrope
