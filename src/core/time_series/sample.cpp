#include "core/time_series/sample.hpp"

#include <algorithm>

namespace kaltrope {

SampleView::SampleView(std::span<const Sample> values) : values_(values) {
    const bool complete = std::ranges::all_of(values, [](const Sample& value) { return value.has_value(); });
    if (complete) return;
    const std::size_t n = values.size();
    before_.resize(n);
    after_.resize(n);
    std::size_t last = kNone;
    for (std::size_t i = 0; i < n; ++i) {
        before_[i] = last;
        if (values[i]) last = i;
    }
    last = kNone;
    for (std::size_t i = n; i-- > 0;) {
        after_[i] = last;
        if (values[i]) last = i;
    }
}

std::optional<std::size_t> SampleView::present_before(std::size_t index) const {
    if (before_.empty()) return index > 0 ? std::optional(index - 1) : std::nullopt;
    return before_[index] == kNone ? std::nullopt : std::optional(before_[index]);
}

std::optional<std::size_t> SampleView::present_after(std::size_t index) const {
    if (after_.empty()) return index + 1 < size() ? std::optional(index + 1) : std::nullopt;
    return after_[index] == kNone ? std::nullopt : std::optional(after_[index]);
}

}  // namespace kaltrope
