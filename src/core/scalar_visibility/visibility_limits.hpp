#pragma once
// The limits that turn the plain scalar graphs into their variants: limited
// penetrable visibility, where a pair stays joined while at most `penetrable`
// samples between its ends fail the strict test, and a window on the index
// distance of the pairs kept.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kaltrope {

struct VisibilityLimits {
    std::uint64_t penetrable = 0;         // samples between a pair that may fail the test
    std::optional<std::uint64_t> window;  // the largest b - a kept, at least 1

    bool plain() const { return penetrable == 0 && !window; }
};

// The samples each sample may be joined with under a window, counted in
// sample indices: the engines' samples 0 .. n - 1 carry indices that may
// skip numbers (the samples a graph leaves out), or are their own indices.
class SampleReach {
public:
    SampleReach(std::optional<std::uint64_t> window, std::size_t n, std::span<const std::uint32_t> indices = {})
        : window_(window), n_(n), indices_(indices) {}

    // The first and the last sample that sample i may be joined with; the
    // samples' own indices inline, as the scans ask for every sample.
    std::uint32_t first(std::uint32_t i) const {
        if (!window_) return 0;
        if (indices_.empty()) return i > *window_ ? static_cast<std::uint32_t>(i - *window_) : 0;
        return first_indexed(i);
    }
    std::uint32_t last(std::uint32_t i) const {
        const auto final_sample = static_cast<std::uint32_t>(n_ - 1);
        if (!window_) return final_sample;
        // Windows may be as wide as 2^64 - 1: compared without a sum that could wrap.
        if (indices_.empty()) {
            return *window_ >= final_sample - i ? final_sample : static_cast<std::uint32_t>(i + *window_);
        }
        return last_indexed(i);
    }

private:
    std::uint32_t first_indexed(std::uint32_t i) const;
    std::uint32_t last_indexed(std::uint32_t i) const;

    std::optional<std::uint64_t> window_;
    std::size_t n_;
    std::span<const std::uint32_t> indices_;  // empty: the samples' own indices
};

}  // namespace kaltrope
