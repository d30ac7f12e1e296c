#pragma once
// Builtin features and feature sets as plain data, the form they are saved
// and restored in: the variant names of the features ("DeltaForward", ...).

#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/features/feature_set.hpp"

namespace kaltrope {

// Of BuiltinFeature and FeatureSet; changes whenever the saved form does.
inline constexpr std::uint64_t kFeatureStateVersion = 1;

// The features of a set, in the order they were added.
std::vector<BuiltinFeature> builtin_features(const FeatureSet& set);

std::expected<BuiltinFeature, std::string> restore_builtin_feature(std::string_view variant);
std::expected<FeatureSet, std::string> restore_feature_set(std::span<const std::string> variants);

}  // namespace kaltrope
