#pragma once
// The samples of a time series: a value per sample, absent where it is missing.

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace kaltrope {

// NaN is a present value; only an empty optional is a missing sample.
using Sample = std::optional<double>;

// The samples together with, for every index, the nearest present sample on
// either side of it, found once: filling a long gap from its neighbours then
// costs the same for every sample of the gap instead of a walk across it.
class SampleView {
public:
    explicit SampleView(std::span<const Sample> values);

    std::span<const Sample> values() const { return values_; }
    std::size_t size() const { return values_.size(); }
    const Sample& operator[](std::size_t index) const { return values_[index]; }

    // The index of the nearest present sample strictly before or after index.
    std::optional<std::size_t> present_before(std::size_t index) const;
    std::optional<std::size_t> present_after(std::size_t index) const;

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    std::span<const Sample> values_;
    // Empty when every sample is present: no lookup then needs them.
    std::vector<std::size_t> before_;
    std::vector<std::size_t> after_;
};

}  // namespace kaltrope
