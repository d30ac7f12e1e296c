#pragma once
// What the node features of one series read: its samples, the handler that
// fills missing ones, and statistics of the whole series.

#include <cstddef>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "core/features/missing_data/missing_data_handler.hpp"
#include "core/time_series/sample.hpp"

namespace kaltrope {

// Mean and population variance, each a sum taken in index order.
struct Moments {
    std::size_t count;
    double mean;
    double variance;
};

// Nothing for no values.
std::optional<Moments> moments_of(std::span<const double> values);

// Shared by every node of one computation, read from several threads at once.
class FeatureContext {
public:
    FeatureContext(std::span<const Sample> values, const MissingDataHandler& missing)
        : samples_(values), missing_(missing) {}

    std::size_t size() const { return samples_.size(); }

    // The sample at index, or the handler's answer where it is missing.
    std::optional<double> sample(std::size_t index) const {
        const Sample& value = samples_[index];
        return value ? value : missing_.handle(samples_, index);
    }

    // sample(j) for j in [start, end), in order, where it has a value;
    // a sample without one is left out.
    template <class Sink>
    void for_each_window_value(std::size_t start, std::size_t end, Sink&& sink) const {
        for (std::size_t j = start; j < end; ++j) {
            if (const auto value = sample(j)) sink(*value);
        }
    }

    std::vector<double> collect_window_values(std::size_t start, std::size_t end) const;

    // The moments of collect_window_values(0, size()), computed by the first
    // node that asks for them: they are the same for every node.
    const std::optional<Moments>& whole_series_moments() const;

private:
    SampleView samples_;
    const MissingDataHandler& missing_;
    mutable std::once_flag whole_series_once_;
    mutable std::optional<Moments> whole_series_;
};

}  // namespace kaltrope
