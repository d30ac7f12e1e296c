#include "core/features/missing_data/missing_data_strategy.hpp"

#include <algorithm>
#include <string_view>

#include "support/interruption.hpp"

namespace kaltrope {
namespace {

using Kind = MissingDataStrategy::Kind;

std::optional<double> value_at(const SampleView& samples, std::optional<std::size_t> index) {
    if (!index) return std::nullopt;
    return samples[*index];
}

std::optional<double> nearest(const SampleView& samples, std::size_t index) {
    const auto before = samples.present_before(index);
    const auto after = samples.present_after(index);
    if (!before) return value_at(samples, after);
    if (!after) return samples[*before];
    // On equal distance the earlier sample wins.
    return index - *before <= *after - index ? samples[*before] : samples[*after];
}

// A window at least this wide is worth a poll for interruption of its own.
constexpr std::size_t kPollWindow = 4096;

// The present samples of the window of window_size around index, index itself
// left out, in index order: window_size / 2 on either side, cut at the ends.
std::vector<double> window_values(const SampleView& samples, std::size_t index, std::size_t window_size) {
    const std::size_t half = window_size / 2;
    const std::size_t first = index - std::min(index, half);
    const std::size_t last = index + std::min(half, samples.size() - 1 - index);
    // Each missing sample reads its whole window: a wide one over a long
    // series with many gaps runs for minutes.
    if (last - first >= kPollWindow) interruption::poll();
    std::vector<double> values;
    for (std::size_t j = first; j <= last; ++j) {
        if (j != index && samples[j]) values.push_back(*samples[j]);
    }
    return values;
}

std::optional<double> mean(std::span<const double> values) {
    if (values.empty()) return std::nullopt;
    double sum = 0.0;
    for (double value : values) sum += value;
    return sum / static_cast<double>(values.size());
}

std::optional<double> median(std::vector<double> values) {
    if (values.empty()) return std::nullopt;
    // Values that do not compare (NaN) count as equal to everything.
    std::ranges::stable_sort(values, [](double a, double b) { return a < b; });
    const std::size_t middle = values.size() / 2;
    if (values.size() % 2 == 1) return values[middle];
    return (values[middle - 1] + values[middle]) * 0.5;
}

constexpr std::string_view kind_name(Kind kind) {
    switch (kind) {
        case Kind::LinearInterpolation: return "LinearInterpolation";
        case Kind::ForwardFill: return "ForwardFill";
        case Kind::BackwardFill: return "BackwardFill";
        case Kind::NearestNeighbor: return "NearestNeighbor";
        case Kind::MeanImputation: return "MeanImputation";
        case Kind::MedianImputation: return "MedianImputation";
        case Kind::ZeroFill: return "ZeroFill";
        case Kind::Drop: return "Drop";
        case Kind::Fallback: return "Fallback";
    }
    return {};
}

}  // namespace

MissingDataStrategy MissingDataStrategy::with_fallback(const MissingDataStrategy& primary,
                                                       const MissingDataStrategy& fallback) {
    MissingDataStrategy chain;
    chain.steps_.reserve(1 + primary.steps_.size() + fallback.steps_.size());
    chain.steps_.push_back({Kind::Fallback});
    chain.steps_.insert(chain.steps_.end(), primary.steps_.begin(), primary.steps_.end());
    chain.steps_.insert(chain.steps_.end(), fallback.steps_.begin(), fallback.steps_.end());
    return chain;
}

std::optional<double> MissingDataStrategy::answer(const Step& step, const SampleView& samples, std::size_t index) {
    switch (step.kind) {
        case Kind::LinearInterpolation: {
            // The midpoint of the two neighbours, whatever their distances.
            if (index == 0 || index + 1 >= samples.size()) return std::nullopt;
            const auto before = value_at(samples, samples.present_before(index));
            const auto after = value_at(samples, samples.present_after(index));
            if (!before || !after) return std::nullopt;
            return (*before + *after) * 0.5;
        }
        case Kind::ForwardFill: return value_at(samples, samples.present_before(index));
        case Kind::BackwardFill: return value_at(samples, samples.present_after(index));
        case Kind::NearestNeighbor: return nearest(samples, index);
        case Kind::MeanImputation: return mean(window_values(samples, index, step.window_size));
        case Kind::MedianImputation: return median(window_values(samples, index, step.window_size));
        case Kind::ZeroFill: return 0.0;
        case Kind::Drop:
        case Kind::Fallback: return std::nullopt;
    }
    return std::nullopt;
}

std::optional<double> MissingDataStrategy::handle(const SampleView& samples, std::size_t index) const {
    // In pre-order the plain strategies of a chain come in the order in which
    // the chain consults them.
    for (const Step& step : steps_) {
        if (step.kind == Kind::Fallback) continue;
        if (auto value = answer(step, samples, index)) return value;
    }
    return std::nullopt;
}

std::string MissingDataStrategy::debug_text() const {
    std::string text;
    // What is still to be written after the current step: the separators and
    // ends of the Fallbacks opened so far, innermost last.
    constexpr std::string_view kBetween = ", fallback: ";
    constexpr std::string_view kEnd = " }";
    std::vector<std::string_view> pending;
    for (const Step& step : steps_) {
        text += kind_name(step.kind);
        if (step.kind == Kind::Fallback) {
            text += " { primary: ";
            pending.push_back(kEnd);
            pending.push_back(kBetween);
            continue;
        }
        if (step.kind == Kind::MeanImputation || step.kind == Kind::MedianImputation) {
            text += " { window_size: " + std::to_string(step.window_size) + " }";
        }
        // A finished primary is followed by its fallback; a finished fallback
        // closes its Fallback, and perhaps the ones around it.
        while (!pending.empty()) {
            const std::string_view next = pending.back();
            pending.pop_back();
            text += next;
            if (next == kBetween) break;
        }
    }
    return text;
}

}  // namespace kaltrope
