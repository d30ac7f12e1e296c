#include "core/time_series/time_series_state.hpp"

namespace kaltrope {

SampleColumns sample_columns(const TimeSeries& series) {
    SampleColumns columns{std::vector<double>(series.size()), std::vector<std::uint8_t>(series.size())};
    for (std::size_t i = 0; i < series.size(); ++i) {
        const Sample& sample = series.values()[i];
        columns.values[i] = sample.value_or(0.0);
        columns.present[i] = sample.has_value();
    }
    return columns;
}

std::expected<TimeSeries, std::string> restore_time_series(std::span<const double> timestamps,
                                                           std::span<const double> values,
                                                           std::span<const std::uint8_t> present) {
    if (present.size() != values.size()) {
        return std::unexpected("invalid TimeSeries state: presence and values differ in length");
    }
    std::vector<Sample> samples(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (present[i] > 1) return std::unexpected("invalid TimeSeries state: presence is not 0 or 1");
        if (present[i] == 1) samples[i] = values[i];
    }
    auto series = TimeSeries::create(std::vector<double>(timestamps.begin(), timestamps.end()), std::move(samples));
    if (!series) return std::unexpected("invalid TimeSeries state: " + series.error().message());
    return std::move(*series);
}

}  // namespace kaltrope
