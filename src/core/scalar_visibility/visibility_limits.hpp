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

    // The first and the last sample that sample i may be joined with.
    std::uint32_t first(std::uint32_t i) const;
    std::uint32_t last(std::uint32_t i) const;

private:
    std::optional<std::uint64_t> window_;
    std::size_t n_;
    std::span<const std::uint32_t> indices_;  // empty: the samples' own indices
};

}  // namespace kaltrope
