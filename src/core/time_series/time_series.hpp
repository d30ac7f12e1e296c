#pragma once
// A time series: a timestamp and a value, possibly missing, per sample.

#include <cstddef>
#include <expected>
#include <span>
#include <string>
#include <vector>

#include "core/features/missing_data/missing_data_strategy.hpp"
#include "core/time_series/sample.hpp"

namespace kaltrope {

struct TimeSeriesError {
    enum class Kind { LengthMismatch, Empty };
    Kind kind;
    std::size_t timestamp_count = 0;  // for LengthMismatch
    std::size_t value_count = 0;

    std::string message() const;
};

struct ImputationError {
    std::size_t index;  // the first sample no strategy could fill

    std::string message() const;
};

// At least one sample; never changed after construction. Timestamps are
// neither checked for order nor for uniqueness.
class TimeSeries {
public:
    // Timestamps 0, 1, ..., n - 1 and every value present (NaN included).
    static std::expected<TimeSeries, TimeSeriesError> from_raw(std::span<const double> values);
    // Lengths must match (checked first), then be non-zero.
    static std::expected<TimeSeries, TimeSeriesError> create(std::vector<double> timestamps,
                                                             std::vector<Sample> values);

    std::size_t size() const { return values_.size(); }
    std::span<const double> timestamps() const { return timestamps_; }
    std::span<const Sample> values() const { return values_; }

    // A copy with every missing value filled by strategy, which always sees
    // this series' values, never the ones filled so far; present values are
    // copied without consulting it.
    std::expected<TimeSeries, ImputationError> handle_missing(const MissingDataStrategy& strategy) const;

private:
    TimeSeries(std::vector<double> timestamps, std::vector<Sample> values)
        : timestamps_(std::move(timestamps)), values_(std::move(values)) {}

    std::vector<double> timestamps_;
    std::vector<Sample> values_;
};

}  // namespace kaltrope
