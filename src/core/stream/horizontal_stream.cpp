#include "core/stream/horizontal_stream.hpp"

#include <limits>

namespace kaltrope {
namespace {

// Entries that left the window are dropped in batches.
constexpr std::size_t kCompactAfter = 64;

}  // namespace

Validated HorizontalStream::check_run(Series values) const {
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!is_finite(values[i])) return std::unexpected(InputError{InputError::Kind::NonFinite, size() + i});
    }
    return {};
}

void HorizontalStream::push_checked(double value, Sources& sources) {
    const std::size_t n = values_.size();
    const std::size_t earliest = window_start(n, window_);
    // Samples before the window are of no further use whatever happens next.
    while (front_ < stack_.size() && stack_[front_] < earliest) ++front_;
    if (front_ > kCompactAfter && 2 * front_ > stack_.size()) {
        stack_.erase(stack_.begin(), stack_.begin() + static_cast<std::ptrdiff_t>(front_));
        front_ = 0;
    }
    // Find the sources before changing anything; the stack then keeps its
    // entries up to `kept`.
    std::size_t kept = stack_.size();
    while (kept > front_) {
        const std::uint64_t top = stack_[kept - 1];
        sources.push_back(top);
        if (values_[top] > value) break;
        --kept;
        // An equal value blocks everything behind it.
        if (values_[top] == value) break;
    }
    values_.reserve(1);
    if (kept == stack_.size()) {
        stack_.push_back(n);
    } else {
        stack_[kept] = n;
        stack_.resize(kept + 1);
    }
    values_.push_back(value);
}

HorizontalStream::HorizontalStream(std::optional<std::size_t> window, std::size_t count, Series values)
    : window_(window), values_(1, count - values.size(), values) {
    rebuild_stack(count);
}

void HorizontalStream::roll_back(std::size_t size) {
    // After a run the stack once had as many entries as it needs now, so
    // rebuilding it does not allocate.
    rebuild_stack(size);
    values_.truncate(size);
}

void HorizontalStream::rebuild_stack(std::size_t size) {
    // The stack as the next sample finds it: every sample of that sample's
    // window above all the samples after it.
    const std::size_t earliest = window_start(size, window_);
    auto for_each_entry = [&](auto&& take) {
        double highest_after = -std::numeric_limits<double>::infinity();
        for (std::size_t k = size; k-- > earliest;) {
            if (values_[k] > highest_after) {
                take(k);
                highest_after = values_[k];
            }
        }
    };
    std::size_t count = 0;
    for_each_entry([&](std::size_t) { ++count; });
    stack_.resize(count);
    for_each_entry([&](std::size_t k) { stack_[--count] = k; });
    front_ = 0;
}

}  // namespace kaltrope
