#pragma once
// A numeric feature of the sample at a node.

#include <cstddef>
#include <optional>
#include <string_view>

#include "core/features/feature_context.hpp"

namespace kaltrope {

class Feature {
public:
    virtual ~Feature() = default;

    // The value at node index, or nothing where the feature has none there.
    // Called for many nodes from several threads at once.
    virtual std::optional<double> compute(const FeatureContext& context, std::size_t index) const = 0;
    // The key under which the value is stored.
    virtual std::string_view name() const = 0;
    virtual bool requires_neighbors() const = 0;
};

}  // namespace kaltrope
