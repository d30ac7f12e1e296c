#pragma once
// Online horizontal visibility: a stack of the samples that may still see a
// future one, their values strictly decreasing from oldest to newest.

#include <deque>

#include "core/algorithms/stream/stream_common.hpp"

namespace kaltrope {

class HorizontalStream {
public:
    explicit HorizontalStream(std::optional<std::size_t> window) : window_(window) {}

    std::size_t size() const { return values_.size(); }

    // Room for `more` samples, ahead of a run.
    void reserve(std::size_t more) { make_room(values_, more); }

    // Checks a run of values as if pushed one by one; nothing changes.
    Validated check_run(Series values) const;

    // Appends a checked value and its sources, nearest first, to sources.
    void push_checked(double value, Sources& sources);

private:
    std::optional<std::size_t> window_;
    std::vector<double> values_;
    std::deque<std::uint64_t> stack_;
};

}  // namespace kaltrope
