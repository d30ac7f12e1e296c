#pragma once
// Each sample's window [lo, hi] in which it is the leftmost maximum: to the
// left an equal value ends the window, to the right only a higher one.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/series/input.hpp"
#include "support/large_buffer.hpp"

namespace kaltrope {

// Filled once, in parallel for long series: not zeroed first.
using WindowBounds = std::vector<std::uint32_t, memory::LargeAllocator<std::uint32_t>>;

struct Segments {
    WindowBounds lo;
    WindowBounds hi;
};

// In parallel for long series; the same windows for any number of threads.
Segments segments(Series y);

// Each window narrowed to the samples at most `window` indices from its own:
// visibility between two samples depends only on the samples between them,
// so the engines then find exactly the pairs that are that close.
void narrow_to(Segments& windows, std::uint64_t window);

// The number of candidates the scan engine examines: the sum of hi - lo.
std::uint64_t scan_work(const Segments& windows);

namespace detail {

// The windows of the samples [begin, end) of one range: lo[i - begin] and hi[i - begin].
struct WindowView {
    std::uint32_t* lo;
    std::uint32_t* hi;
    std::uint32_t begin;
};

// What one range of samples leaves open after its own pass: its records
// (samples higher than every earlier one of the range), whose windows begin
// in an earlier range, and the samples left on its stack, whose windows may
// end in a later one; then the bounds the other ranges give them.
struct OpenEnds {
    std::vector<std::uint32_t> records;
    std::vector<std::uint32_t> remaining;
    std::vector<std::uint32_t> record_lo;
    std::vector<std::uint32_t> remaining_hi;
};

}  // namespace detail

// The same windows (narrowed to a window, if any) for callers that visit the
// samples chunk by chunk and never need all of them at once: a chunk's
// windows come from one stack pass over the chunk, and only the bounds that
// cross its ends are kept for the whole series (a few dozen per chunk along a
// random walk; every sample's, at most, for a monotone series).
class ChunkedWindows {
public:
    static constexpr std::size_t kChunk = 4096;

    // In parallel for long series; y must outlive the windows.
    ChunkedWindows(Series y, std::optional<std::uint64_t> window);

    std::uint64_t scan_work() const { return scan_work_; }

    // The windows of chunk c: samples [c * kChunk, min(n, (c + 1) * kChunk)).
    void fill(std::size_t c, detail::WindowView view) const;

private:
    Series y_;
    std::optional<std::uint64_t> window_;
    std::vector<detail::OpenEnds> ends_;
    std::uint64_t scan_work_ = 0;
};

// One sample's window.
struct Window {
    std::uint32_t lo;
    std::uint32_t hi;
};

// The windows of one chunk at a time, refilled when a sample of another
// chunk is asked for: cheap when the samples come in order. Each thread
// needs its own cursor.
class WindowCursor {
public:
    explicit WindowCursor(const ChunkedWindows* windows) : windows_(windows) {}

    Window operator[](std::uint32_t i) {
        const std::size_t c = i / ChunkedWindows::kChunk;
        if (c != chunk_) load(c);
        const std::size_t at = i - c * ChunkedWindows::kChunk;
        return {lo_[at], hi_[at]};
    }

private:
    void load(std::size_t c);

    const ChunkedWindows* windows_;
    std::size_t chunk_ = static_cast<std::size_t>(-1);
    std::vector<std::uint32_t> lo_;
    std::vector<std::uint32_t> hi_;
};

}  // namespace kaltrope
