#pragma once
// Which features to compute at every node, and how missing samples are
// filled while computing them.

#include <memory>
#include <span>
#include <vector>

#include "core/features/builtin/builtin_feature.hpp"
#include "core/features/feature.hpp"
#include "core/features/missing_data/missing_data_strategy.hpp"

namespace kaltrope {

class FeatureSet {
public:
    // Appends feature; a feature may be added more than once.
    FeatureSet& add_builtin(BuiltinFeature feature) {
        features_.push_back(make_feature(feature));
        return *this;
    }

    std::span<const std::unique_ptr<Feature>> features() const { return features_; }
    const MissingDataStrategy& missing_strategy() const { return missing_strategy_; }

private:
    MissingDataStrategy missing_strategy_ = MissingDataStrategy::zero_fill();
    std::vector<std::unique_ptr<Feature>> features_;
};

}  // namespace kaltrope
