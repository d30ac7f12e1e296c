// Filling the missing values of a series.

#include "core/time_series/time_series.hpp"

#include "support/interruption.hpp"

namespace kaltrope {
namespace {

// Missing samples filled between polls for interruption (the wide windows of
// the imputations poll on their own).
constexpr unsigned kRepairPollPeriod = 1u << 14;

}  // namespace

std::string ImputationError::message() const {
    return "All imputation strategies failed at index " + std::to_string(index);
}

std::expected<TimeSeries, ImputationError> TimeSeries::handle_missing(const MissingDataStrategy& strategy) const {
    std::vector<Sample> filled(values_);
    const SampleView samples(values_);
    interruption::Countdown poll(kRepairPollPeriod);
    for (std::size_t i = 0; i < filled.size(); ++i) {
        if (filled[i]) continue;
        poll.tick();
        filled[i] = strategy.handle(samples, i);
        if (!filled[i]) return std::unexpected(ImputationError{i});
    }
    return TimeSeries(timestamps_, std::move(filled));
}

}  // namespace kaltrope
