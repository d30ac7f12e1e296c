#include "core/scalar_visibility/segments.hpp"

#include <algorithm>
#include <numeric>

#include "core/scalar_visibility/engine_choice.hpp"
#include "support/interruption.hpp"
#include "support/worker_pool.hpp"

namespace kaltrope {
namespace {

constexpr std::size_t kMinChunk = std::size_t{1} << 14;

// What one range of samples leaves open after its own pass: its records
// (samples higher than every earlier one of the range), whose windows begin
// in an earlier range, and the samples left on its stack, whose windows may
// end in a later one.
struct OpenEnds {
    std::vector<std::uint32_t> records;
    std::vector<std::uint32_t> remaining;
};

// One pass over [begin, end) with a stack of indices whose values do not
// increase: a sample popped by a strictly higher one has found the end of its
// window, and the sample left on top after the pops bounds the new sample's
// window on the left.
OpenEnds range_windows(Series y, std::uint32_t begin, std::uint32_t end, Segments& windows) {
    OpenEnds open;
    std::vector<std::uint32_t>& stack = open.remaining;
    stack.reserve(64);
    for (std::uint32_t i = begin; i < end; ++i) {
        if (i % (1u << 20) == 0) interruption::poll();
        while (!stack.empty() && y[i] > y[stack.back()]) {
            windows.hi[stack.back()] = i - 1;
            stack.pop_back();
        }
        if (stack.empty()) {
            open.records.push_back(i);
        } else {
            windows.lo[i] = stack.back() + 1;
        }
        stack.push_back(i);
    }
    return open;
}

// Closes the open ends range after range, as the single pass over the whole
// series would: the stack the earlier ranges leave meets each record in turn.
void close_ends(Series y, std::span<const OpenEnds> ranges, Segments& windows) {
    std::vector<std::uint32_t> stack;
    for (const OpenEnds& range : ranges) {
        for (const std::uint32_t r : range.records) {
            while (!stack.empty() && y[r] > y[stack.back()]) {
                windows.hi[stack.back()] = r - 1;
                stack.pop_back();
            }
            windows.lo[r] = stack.empty() ? 0 : stack.back() + 1;
        }
        stack.insert(stack.end(), range.remaining.begin(), range.remaining.end());
    }
    for (const std::uint32_t i : stack) windows.hi[i] = static_cast<std::uint32_t>(y.size() - 1);
}

// Ranges of samples for a pass in parallel: one for a short series.
std::size_t range_length(std::size_t n) {
    if (n < kParallelMinSamples) return std::max<std::size_t>(n, 1);
    return std::max(kMinChunk, n / (4 * parallel::thread_count()));
}

}  // namespace

Segments segments(Series y) {
    const std::size_t n = y.size();
    Segments windows{WindowBounds(n), WindowBounds(n)};
    const std::size_t length = range_length(n);
    std::vector<OpenEnds> ranges((n + length - 1) / length);
    auto begin_of = [&](std::size_t r) { return static_cast<std::uint32_t>(std::min(n, r * length)); };
    parallel::for_each_range(ranges.size(), 1, [&](std::size_t first, std::size_t last) {
        for (std::size_t r = first; r < last; ++r) ranges[r] = range_windows(y, begin_of(r), begin_of(r + 1), windows);
    });
    close_ends(y, ranges, windows);
    return windows;
}

void narrow_to(Segments& windows, std::uint64_t window) {
    const std::size_t n = windows.lo.size();
    const std::size_t length = range_length(n);
    parallel::for_each_range(n, length, [&](std::size_t first, std::size_t last) {
        for (std::size_t i = first; i < last; ++i) {
            const std::uint64_t lo = i - std::min<std::uint64_t>(i, window);
            const std::uint64_t hi = i + std::min<std::uint64_t>(n - 1 - i, window);
            windows.lo[i] = std::max(windows.lo[i], static_cast<std::uint32_t>(lo));
            windows.hi[i] = std::min(windows.hi[i], static_cast<std::uint32_t>(hi));
        }
    });
}

std::uint64_t scan_work(const Segments& windows) {
    const std::size_t n = windows.lo.size();
    const std::size_t length = range_length(n);
    std::vector<std::uint64_t> work((n + length - 1) / length, 0);
    parallel::for_each_range(work.size(), 1, [&](std::size_t first, std::size_t last) {
        for (std::size_t r = first; r < last; ++r) {
            std::uint64_t sum = 0;
            for (std::size_t i = r * length; i < std::min(n, (r + 1) * length); ++i)
                sum += windows.hi[i] - windows.lo[i];
            work[r] = sum;
        }
    });
    return std::accumulate(work.begin(), work.end(), std::uint64_t{0});
}

}  // namespace kaltrope
