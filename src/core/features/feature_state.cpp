#include "core/features/feature_state.hpp"

#include <algorithm>

namespace kaltrope {

std::vector<BuiltinFeature> builtin_features(const FeatureSet& set) {
    // A set holds builtin features only, each known by its name.
    std::vector<BuiltinFeature> features;
    for (const auto& feature : set.features()) {
        features.push_back(*std::ranges::find_if(
            kBuiltinFeatures, [&](BuiltinFeature builtin) { return feature_name(builtin) == feature->name(); }));
    }
    return features;
}

std::expected<BuiltinFeature, std::string> restore_builtin_feature(std::string_view variant) {
    const auto feature = builtin_feature_named(variant);
    if (!feature) return std::unexpected("invalid feature state: unknown feature " + std::string(variant));
    return *feature;
}

std::expected<FeatureSet, std::string> restore_feature_set(std::span<const std::string> variants) {
    FeatureSet set;
    for (const std::string& variant : variants) {
        const auto feature = restore_builtin_feature(variant);
        if (!feature) return std::unexpected(feature.error());
        set.add_builtin(*feature);
    }
    return set;
}

}  // namespace kaltrope
