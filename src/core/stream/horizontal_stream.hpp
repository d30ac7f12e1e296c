#pragma once
// Online horizontal visibility: a stack of the samples that may still see a
// future one, their values strictly decreasing from oldest to newest.

#include "core/stream/stream_common.hpp"

namespace kaltrope {

class HorizontalStream {
public:
    explicit HorizontalStream(std::optional<std::size_t> window) : window_(window) {}
    // A stream that has taken count samples, the last values.size() of them
    // given (checked by the caller: finite).
    HorizontalStream(std::optional<std::size_t> window, std::size_t count, Series values);

    std::size_t size() const { return values_.size(); }

    // The samples a later one may see: [window_start(size()), size()).
    Series seen_values() const { return values_.rows_from(window_start(size(), window_)); }

    // Room for `more` samples, ahead of a run.
    void reserve(std::size_t more) { values_.reserve(more); }

    // Releases the history that no later sample can see (amortised).
    void release_unseen() { values_.release_before(window_start(size(), window_)); }

    // Checks a run of values as if pushed one by one; nothing changes.
    Validated check_run(Series values) const;

    // Appends a checked value and its sources, nearest first, to sources.
    // If it throws, the stream is unchanged.
    void push_checked(double value, Sources& sources);

    // What undoing a run needs (the sample count before it), and the undoing:
    // the samples pushed since are forgotten as if never pushed.
    std::size_t mark(std::size_t /*run_length*/) const { return size(); }
    void roll_back(std::size_t size);

private:
    // The stack after the first size samples, from their values.
    void rebuild_stack(std::size_t size);

    std::optional<std::size_t> window_;
    SlidingHistory<double> values_;
    // Entries [front_, end) are the stack; those before front_ have left the
    // window. A vector never gives back its room, so undoing a run can
    // rebuild an earlier stack without allocating.
    std::vector<std::uint64_t> stack_;
    std::size_t front_ = 0;
};

}  // namespace kaltrope
