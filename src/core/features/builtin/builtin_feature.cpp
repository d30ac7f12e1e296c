#include "core/features/builtin/builtin_feature.hpp"

#include <algorithm>
#include <cmath>

namespace kaltrope {
namespace {

struct Description {
    std::string_view variant_name;
    std::string_view feature_name;
};

constexpr std::array<Description, kBuiltinFeatures.size()> kDescriptions = {{
    {"DeltaForward", "delta_forward"},
    {"DeltaBackward", "delta_backward"},
    {"DeltaSymmetric", "delta_symmetric"},
    {"LocalSlope", "local_slope"},
    {"Acceleration", "acceleration"},
    {"LocalMean", "local_mean"},
    {"LocalVariance", "local_variance"},
    {"IsLocalMax", "is_local_max"},
    {"IsLocalMin", "is_local_min"},
    {"ZScore", "z_score"},
}};

const Description& describe(BuiltinFeature feature) { return kDescriptions[static_cast<std::size_t>(feature)]; }

// Below this the whole series counts as constant.
constexpr double kConstantVariance = 1e-10;

std::optional<double> difference(std::optional<double> later, std::optional<double> earlier) {
    if (!later || !earlier) return std::nullopt;
    return *later - *earlier;
}

// The node and its direct neighbours, two samples at either end.
std::optional<Moments> local_moments(const FeatureContext& context, std::size_t index) {
    std::array<double, 3> window;
    std::size_t count = 0;
    const std::size_t start = index - std::min<std::size_t>(index, 1);
    const std::size_t end = std::min(index + 2, context.size());
    context.for_each_window_value(start, end, [&](double value) { window[count++] = value; });
    return moments_of(std::span(window).first(count));
}

// 1.0 where the node's sample is above (peak) or below (trough) both
// neighbours, else 0.0; 0.0 at both ends of the series.
std::optional<double> extremum_flag(const FeatureContext& context, std::size_t index, bool peak) {
    if (index == 0 || index + 1 >= context.size()) return 0.0;
    const auto before = context.sample(index - 1);
    const auto at = context.sample(index);
    const auto after = context.sample(index + 1);
    if (!before || !at || !after) return std::nullopt;
    const bool flagged = peak ? *at > *before && *at > *after : *at < *before && *at < *after;
    return flagged ? 1.0 : 0.0;
}

std::optional<double> z_score(const FeatureContext& context, std::size_t index) {
    const auto value = context.sample(index);
    if (!value) return std::nullopt;
    const auto& moments = context.whole_series_moments();
    if (!moments || moments->count < 2) return std::nullopt;
    if (!(moments->variance > kConstantVariance)) return 0.0;
    return (*value - moments->mean) / std::sqrt(moments->variance);
}

class BuiltinFeatureObject final : public Feature {
public:
    explicit BuiltinFeatureObject(BuiltinFeature feature) : feature_(feature) {}

    std::optional<double> compute(const FeatureContext& context, std::size_t index) const override {
        return compute_builtin(feature_, context, index);
    }
    std::string_view name() const override { return feature_name(feature_); }
    bool requires_neighbors() const override { return kaltrope::requires_neighbors(feature_); }

private:
    BuiltinFeature feature_;
};

}  // namespace

std::string_view variant_name(BuiltinFeature feature) { return describe(feature).variant_name; }

std::optional<BuiltinFeature> builtin_feature_named(std::string_view name) {
    for (BuiltinFeature feature : kBuiltinFeatures) {
        if (variant_name(feature) == name) return feature;
    }
    return std::nullopt;
}

std::string_view feature_name(BuiltinFeature feature) { return describe(feature).feature_name; }

bool requires_neighbors(BuiltinFeature feature) { return feature != BuiltinFeature::ZScore; }

std::optional<double> compute_builtin(BuiltinFeature feature, const FeatureContext& context, std::size_t index) {
    const bool inner = index > 0 && index + 1 < context.size();
    switch (feature) {
        case BuiltinFeature::DeltaForward:
            if (index + 1 >= context.size()) return std::nullopt;
            return difference(context.sample(index + 1), context.sample(index));
        case BuiltinFeature::DeltaBackward:
            if (index == 0) return std::nullopt;
            return difference(context.sample(index), context.sample(index - 1));
        case BuiltinFeature::DeltaSymmetric:
        case BuiltinFeature::LocalSlope: {
            if (!inner) return std::nullopt;
            const auto change = difference(context.sample(index + 1), context.sample(index - 1));
            if (!change) return std::nullopt;
            return *change * 0.5;
        }
        case BuiltinFeature::Acceleration: {
            if (!inner) return std::nullopt;
            const auto before = context.sample(index - 1);
            const auto at = context.sample(index);
            const auto after = context.sample(index + 1);
            if (!before || !at || !after) return std::nullopt;
            return *before + (*after - 2.0 * *at);
        }
        case BuiltinFeature::LocalMean:
        case BuiltinFeature::LocalVariance: {
            const auto moments = local_moments(context, index);
            if (!moments) return std::nullopt;
            return feature == BuiltinFeature::LocalMean ? moments->mean : moments->variance;
        }
        case BuiltinFeature::IsLocalMax: return extremum_flag(context, index, true);
        case BuiltinFeature::IsLocalMin: return extremum_flag(context, index, false);
        case BuiltinFeature::ZScore: return z_score(context, index);
    }
    return std::nullopt;
}

std::unique_ptr<Feature> make_feature(BuiltinFeature feature) {
    return std::make_unique<BuiltinFeatureObject>(feature);
}

}  // namespace kaltrope
