#pragma once
// What fills a missing sample: the series repair and the node features ask
// a handler for a replacement whenever they meet an absent sample.

#include <cstddef>
#include <optional>

#include "core/time_series/sample.hpp"

namespace kaltrope {

class MissingDataHandler {
public:
    virtual ~MissingDataHandler() = default;

    // The replacement for the missing sample at index (< samples.size()),
    // or nothing. Called from several threads at once by the node features.
    virtual std::optional<double> handle(const SampleView& samples, std::size_t index) const = 0;
};

}  // namespace kaltrope
