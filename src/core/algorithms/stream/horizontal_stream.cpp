#include "core/algorithms/stream/horizontal_stream.hpp"

namespace kaltrope {

Validated HorizontalStream::check_run(Series values) const {
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!is_finite(values[i])) return std::unexpected(InputError{InputError::Kind::NonFinite, size() + i});
    }
    return {};
}

void HorizontalStream::push_checked(double value, Sources& sources) {
    const std::size_t n = values_.size();
    const std::size_t earliest = window_start(n, window_);
    while (!stack_.empty() && stack_.front() < earliest) stack_.pop_front();
    while (!stack_.empty()) {
        const std::uint64_t top = stack_.back();
        sources.push_back(top);
        if (values_[top] > value) break;
        stack_.pop_back();
        // An equal value blocks everything behind it.
        if (values_[top] == value) break;
    }
    stack_.push_back(n);
    values_.push_back(value);
}

}  // namespace kaltrope
