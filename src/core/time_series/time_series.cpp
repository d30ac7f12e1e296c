#include "core/time_series/time_series.hpp"

namespace kaltrope {

std::string TimeSeriesError::message() const {
    switch (kind) {
        case Kind::LengthMismatch:
            return "Length mismatch: " + std::to_string(timestamp_count) + " timestamps but " +
                   std::to_string(value_count) + " values";
        case Kind::Empty: return "Time series is empty";
    }
    return {};
}

std::expected<TimeSeries, TimeSeriesError> TimeSeries::from_raw(std::span<const double> values) {
    if (values.empty()) return std::unexpected(TimeSeriesError{TimeSeriesError::Kind::Empty});
    std::vector<double> timestamps(values.size());
    std::vector<Sample> samples(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        timestamps[i] = static_cast<double>(i);
        samples[i] = values[i];
    }
    return TimeSeries(std::move(timestamps), std::move(samples));
}

std::expected<TimeSeries, TimeSeriesError> TimeSeries::create(std::vector<double> timestamps,
                                                              std::vector<Sample> values) {
    if (timestamps.size() != values.size()) {
        return std::unexpected(
            TimeSeriesError{TimeSeriesError::Kind::LengthMismatch, timestamps.size(), values.size()});
    }
    if (values.empty()) return std::unexpected(TimeSeriesError{TimeSeriesError::Kind::Empty});
    return TimeSeries(std::move(timestamps), std::move(values));
}

}  // namespace kaltrope
