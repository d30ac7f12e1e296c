#pragma once
// The ten node features that come with the library.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "core/features/feature.hpp"

namespace kaltrope {

enum class BuiltinFeature : std::uint8_t {
    DeltaForward,
    DeltaBackward,
    DeltaSymmetric,
    LocalSlope,
    Acceleration,
    LocalMean,
    LocalVariance,
    IsLocalMax,
    IsLocalMin,
    ZScore,
};

inline constexpr std::array kBuiltinFeatures = {
    BuiltinFeature::DeltaForward,  BuiltinFeature::DeltaBackward, BuiltinFeature::DeltaSymmetric,
    BuiltinFeature::LocalSlope,    BuiltinFeature::Acceleration,  BuiltinFeature::LocalMean,
    BuiltinFeature::LocalVariance, BuiltinFeature::IsLocalMax,    BuiltinFeature::IsLocalMin,
    BuiltinFeature::ZScore,
};

// "DeltaForward", ..., "ZScore".
std::string_view variant_name(BuiltinFeature feature);
// The feature whose variant name is exactly name, letter case included.
std::optional<BuiltinFeature> builtin_feature_named(std::string_view name);

// The key of its values: "delta_forward", ..., "z_score".
std::string_view feature_name(BuiltinFeature feature);
// All but ZScore look at the samples next to the node.
bool requires_neighbors(BuiltinFeature feature);

std::optional<double> compute_builtin(BuiltinFeature feature, const FeatureContext& context, std::size_t index);

// The feature as an object of a FeatureSet.
std::unique_ptr<Feature> make_feature(BuiltinFeature feature);

}  // namespace kaltrope
