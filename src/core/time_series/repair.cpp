// Filling the missing values of a series.

#include "core/time_series/time_series.hpp"

namespace kaltrope {

std::string ImputationError::message() const {
    return "All imputation strategies failed at index " + std::to_string(index);
}

std::expected<TimeSeries, ImputationError> TimeSeries::handle_missing(const MissingDataStrategy& strategy) const {
    std::vector<Sample> filled(values_);
    const SampleView samples(values_);
    for (std::size_t i = 0; i < filled.size(); ++i) {
        if (filled[i]) continue;
        filled[i] = strategy.handle(samples, i);
        if (!filled[i]) return std::unexpected(ImputationError{i});
    }
    return TimeSeries(timestamps_, std::move(filled));
}

}  // namespace kaltrope
