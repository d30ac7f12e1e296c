#include "core/scalar_visibility/segments.hpp"

#include <algorithm>
#include <limits>
#include <numeric>

#include "core/scalar_visibility/engine_choice.hpp"
#include "support/interruption.hpp"
#include "support/worker_pool.hpp"

namespace kaltrope {
namespace {

using detail::OpenEnds;
using detail::WindowView;

constexpr std::size_t kMinChunk = std::size_t{1} << 14;

// A sample on the stack of range_windows, with its value: the pops then wait
// on no load from the series.
struct StackEntry {
    double value;
    std::uint32_t index;
};

// One pass over [begin, end) with a stack of samples whose values do not
// increase, over a bottom entry higher than any sample: a sample popped by a
// strictly higher one has found the end of its window, found_hi(j, hi), and
// the sample left on top after the pops bounds the new sample's window on
// the left, found_lo(i, lo).
template <class FoundLo, class FoundHi>
OpenEnds range_windows(Series y, std::uint32_t begin, std::uint32_t end, FoundLo found_lo, FoundHi found_hi) {
    OpenEnds open;
    std::vector<StackEntry> stack(64);
    stack[0] = {std::numeric_limits<double>::infinity(), 0};
    StackEntry* top = stack.data();
    for (std::uint32_t i = begin; i < end; ++i) {
        if (i % (1u << 20) == 0) interruption::poll();
        const double value = y[i];
        while (value > top->value) {
            found_hi(top->index, i - 1);
            --top;
        }
        if (top == stack.data()) {
            open.records.push_back(i);
        } else {
            found_lo(i, top->index + 1);
        }
        if (top + 1 == stack.data() + stack.size()) {
            const std::ptrdiff_t depth = top - stack.data();
            stack.resize(2 * stack.size());
            top = stack.data() + depth;
        }
        *++top = {value, i};
    }
    for (const StackEntry* entry = stack.data() + 1; entry <= top; ++entry) open.remaining.push_back(entry->index);
    return open;
}

// The pass writing the windows it finds into out.
OpenEnds range_windows(Series y, std::uint32_t begin, std::uint32_t end, WindowView out) {
    return range_windows(
        y, begin, end, [&](std::uint32_t i, std::uint32_t lo) { out.lo[i - out.begin] = lo; },
        [&](std::uint32_t j, std::uint32_t hi) { out.hi[j - out.begin] = hi; });
}

// Closes the open ends range after range, as the single pass over the whole
// series would: the stack the earlier ranges leave meets each record in turn.
void close_ends(Series y, std::span<OpenEnds> ranges) {
    std::vector<OpenEnds*> owners;  // of the samples on the stack
    std::vector<std::uint32_t> stack;
    auto close_top = [&](std::uint32_t hi) {
        owners.back()->remaining_hi.push_back(hi);
        owners.pop_back();
        stack.pop_back();
    };
    for (OpenEnds& range : ranges) {
        range.record_lo.clear();
        range.remaining_hi.clear();
        for (const std::uint32_t r : range.records) {
            while (!stack.empty() && y[r] > y[stack.back()]) close_top(r - 1);
            range.record_lo.push_back(stack.empty() ? 0 : stack.back() + 1);
        }
        stack.insert(stack.end(), range.remaining.begin(), range.remaining.end());
        owners.insert(owners.end(), range.remaining.size(), &range);
    }
    while (!stack.empty()) close_top(static_cast<std::uint32_t>(y.size() - 1));
    // Each range's remaining samples were closed from the top of its stack down.
    for (OpenEnds& range : ranges) std::ranges::reverse(range.remaining_hi);
}

// Writes the bounds close_ends found for one range's open ends.
void apply(const OpenEnds& open, WindowView out) {
    for (std::size_t k = 0; k < open.records.size(); ++k) out.lo[open.records[k] - out.begin] = open.record_lo[k];
    for (std::size_t k = 0; k < open.remaining.size(); ++k) {
        out.hi[open.remaining[k] - out.begin] = open.remaining_hi[k];
    }
}

void narrow(WindowView view, std::size_t first, std::size_t last, std::size_t n, std::uint64_t window) {
    for (std::size_t i = first; i < last; ++i) {
        const std::uint64_t lo = i - std::min<std::uint64_t>(i, window);
        const std::uint64_t hi = i + std::min<std::uint64_t>(n - 1 - i, window);
        std::uint32_t& lo_i = view.lo[i - view.begin];
        std::uint32_t& hi_i = view.hi[i - view.begin];
        lo_i = std::max(lo_i, static_cast<std::uint32_t>(lo));
        hi_i = std::min(hi_i, static_cast<std::uint32_t>(hi));
    }
}

// Ranges of samples for a pass in parallel: one for a short series.
std::size_t range_length(std::size_t n) {
    if (n < kParallelMinSamples) return std::max<std::size_t>(n, 1);
    return std::max(kMinChunk, n / (4 * parallel::thread_count()));
}

// Claims of `count` chunks of ChunkedWindows::kChunk samples: all at once
// for a short series.
std::size_t chunk_grain(std::size_t n, std::size_t count) {
    return n < kParallelMinSamples ? std::max<std::size_t>(count, 1) : parallel::balanced_grain(count);
}

}  // namespace

Segments segments(Series y) {
    const std::size_t n = y.size();
    Segments windows{WindowBounds(n), WindowBounds(n)};
    const WindowView whole{windows.lo.data(), windows.hi.data(), 0};
    const std::size_t length = range_length(n);
    std::vector<OpenEnds> ranges((n + length - 1) / length);
    auto begin_of = [&](std::size_t r) { return static_cast<std::uint32_t>(std::min(n, r * length)); };
    parallel::for_each_range(ranges.size(), 1, [&](std::size_t first, std::size_t last) {
        for (std::size_t r = first; r < last; ++r) ranges[r] = range_windows(y, begin_of(r), begin_of(r + 1), whole);
    });
    close_ends(y, ranges);
    for (const OpenEnds& range : ranges) apply(range, whole);
    return windows;
}

void narrow_to(Segments& windows, std::uint64_t window) {
    const std::size_t n = windows.lo.size();
    const std::size_t length = range_length(n);
    parallel::for_each_range(n, length, [&](std::size_t first, std::size_t last) {
        narrow({windows.lo.data(), windows.hi.data(), 0}, first, last, n, window);
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

// One pass keeps each chunk's open ends and measures the work: the span of a
// window narrowed to w, min(hi, i + w) - max(lo, i - w), is the sum of
// min(hi - i, w) and min(i - lo, w), which each end adds when it is found.
ChunkedWindows::ChunkedWindows(Series y, std::optional<std::uint64_t> window) : y_(y), window_(window) {
    const std::size_t n = y.size();
    const std::size_t count = (n + kChunk - 1) / kChunk;
    const std::uint64_t reach = window.value_or(n);
    auto left = [reach](std::uint32_t i, std::uint32_t lo) { return std::min<std::uint64_t>(i - lo, reach); };
    auto right = [reach](std::uint32_t j, std::uint32_t hi) { return std::min<std::uint64_t>(hi - j, reach); };
    ends_.resize(count);
    std::vector<std::uint64_t> work(count, 0);
    parallel::for_each_range(count, chunk_grain(n, count), [&](std::size_t first, std::size_t last) {
        for (std::size_t c = first; c < last; ++c) {
            const auto begin = static_cast<std::uint32_t>(c * kChunk);
            const auto end = static_cast<std::uint32_t>(std::min(n, (c + 1) * kChunk));
            std::uint64_t sum = 0;
            ends_[c] = range_windows(
                y, begin, end, [&](std::uint32_t i, std::uint32_t lo) { sum += left(i, lo); },
                [&](std::uint32_t j, std::uint32_t hi) { sum += right(j, hi); });
            work[c] = sum;
        }
    });
    close_ends(y, ends_);
    scan_work_ = std::accumulate(work.begin(), work.end(), std::uint64_t{0});
    for (const OpenEnds& open : ends_) {
        for (std::size_t k = 0; k < open.records.size(); ++k) scan_work_ += left(open.records[k], open.record_lo[k]);
        for (std::size_t k = 0; k < open.remaining.size(); ++k) {
            scan_work_ += right(open.remaining[k], open.remaining_hi[k]);
        }
    }
}

void ChunkedWindows::fill(std::size_t c, WindowView view) const {
    const std::size_t n = y_.size();
    const auto begin = static_cast<std::uint32_t>(c * kChunk);
    const auto end = static_cast<std::uint32_t>(std::min(n, (c + 1) * kChunk));
    range_windows(y_, begin, end, view);
    apply(ends_[c], view);
    if (window_) narrow(view, begin, end, n, *window_);
}

void WindowCursor::load(std::size_t c) {
    lo_.resize(ChunkedWindows::kChunk);
    hi_.resize(ChunkedWindows::kChunk);
    windows_->fill(c, {lo_.data(), hi_.data(), static_cast<std::uint32_t>(c * ChunkedWindows::kChunk)});
    chunk_ = c;
}

}  // namespace kaltrope
