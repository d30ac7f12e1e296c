#include "core/scalar_visibility/visibility_limits.hpp"

#include <algorithm>

namespace kaltrope {

std::uint32_t SampleReach::first_indexed(std::uint32_t i) const {
    if (indices_[i] <= *window_) return 0;
    const std::uint64_t lowest = indices_[i] - *window_;
    return static_cast<std::uint32_t>(std::ranges::lower_bound(indices_.first(i), lowest) - indices_.begin());
}

std::uint32_t SampleReach::last_indexed(std::uint32_t i) const {
    const auto final_sample = static_cast<std::uint32_t>(n_ - 1);
    if (*window_ >= indices_.back() - indices_[i]) return final_sample;
    const std::uint64_t highest = indices_[i] + *window_;
    const auto after = std::ranges::upper_bound(indices_.subspan(i), highest);
    return static_cast<std::uint32_t>(after - indices_.begin() - 1);
}

}  // namespace kaltrope
