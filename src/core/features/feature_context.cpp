#include "core/features/feature_context.hpp"

namespace kaltrope {

std::optional<Moments> moments_of(std::span<const double> values) {
    if (values.empty()) return std::nullopt;
    const auto count = static_cast<double>(values.size());
    double sum = 0.0;
    for (double value : values) sum += value;
    const double mean = sum / count;
    double squares = 0.0;
    for (double value : values) squares += (value - mean) * (value - mean);
    return Moments{values.size(), mean, squares / count};
}

std::vector<double> FeatureContext::collect_window_values(std::size_t start, std::size_t end) const {
    std::vector<double> values;
    values.reserve(end - start);
    for_each_window_value(start, end, [&values](double value) { values.push_back(value); });
    return values;
}

const std::optional<Moments>& FeatureContext::whole_series_moments() const {
    std::call_once(whole_series_once_, [this] { whole_series_ = moments_of(collect_window_values(0, size())); });
    return whole_series_;
}

}  // namespace kaltrope
