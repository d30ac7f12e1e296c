#pragma once
// A time series as plain data, the form it is saved and restored in: its
// timestamps, and its values with a presence byte per sample.

#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <vector>

#include "core/time_series/time_series.hpp"

namespace kaltrope {

// Changes whenever the saved form does; a state of another version is refused.
inline constexpr std::uint64_t kTimeSeriesStateVersion = 1;

struct SampleColumns {
    std::vector<double> values;         // 0.0 where missing
    std::vector<std::uint8_t> present;  // 1 where present, else 0
};

SampleColumns sample_columns(const TimeSeries& series);

// The series of these columns, after checking them: equal, non-zero lengths,
// presence 0 or 1.
std::expected<TimeSeries, std::string> restore_time_series(std::span<const double> timestamps,
                                                           std::span<const double> values,
                                                           std::span<const std::uint8_t> present);

}  // namespace kaltrope
