#pragma once
// What the online engines share: the sliding window, and the positions of
// arriving samples (given, or the sample's own index).

#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/series/input.hpp"
#include "core/stream/sliding_history.hpp"
#include "support/interruption.hpp"

namespace kaltrope {

// The sources of one new sample's edges.
using Sources = std::vector<std::uint64_t>;

// The earliest sample that sample n may connect to.
inline std::size_t window_start(std::size_t n, std::optional<std::size_t> window) {
    return window && n > *window ? n - *window : 0;
}

// Positions of samples first..first+count-1 arriving after a sample at
// `previous` (none for an empty stream): each given one, or its index,
// finite and strictly above the one before. Returns the first bad index.
class PositionRun {
public:
    PositionRun(std::size_t first, std::optional<double> previous, std::optional<Series> given)
        : first_(first), previous_(previous), given_(given) {}

    double at(std::size_t i) const { return given_ ? (*given_)[i] : static_cast<double>(first_ + i); }

    // Checks sample i of the run (called in order).
    Validated check(std::size_t i) {
        const double position = at(i);
        if (!is_finite(position) || (previous_ && !(*previous_ < position))) {
            return std::unexpected(InputError{InputError::Kind::BadPosition, first_ + i});
        }
        previous_ = position;
        return {};
    }

private:
    std::size_t first_;
    std::optional<double> previous_;
    std::optional<Series> given_;
};

// Room for `more` elements, growing geometrically so that repeated calls
// for single samples stay amortised O(1). Called once per sample, so only
// the check is inlined.
template <class Vector>
[[gnu::noinline]] void grow_room(Vector& vector, std::size_t more) {
    vector.reserve(std::max(vector.size() + more, 2 * vector.capacity()));
}

template <class Vector>
[[gnu::always_inline]] inline void make_room(Vector& vector, std::size_t more) {
    if (vector.size() + more > vector.capacity()) [[unlikely]]
        grow_room(vector, more);
}

// Pushes samples 0 .. count - 1 of a run already checked, through
// push_sample(i, sources); on_sample(i, sources) then sees each sample's
// sources. If either throws (running out of memory, or the call is
// interrupted), the stream is rolled back to where it was before the run and
// the error passes on. The history no sample of the run can see is released
// first (never during a run, whose undoing may need it).
template <class Stream, class PushSample, class OnSample>
void push_checked_run(Stream& stream, std::size_t count, PushSample&& push_sample, OnSample&& on_sample) {
    stream.release_unseen();
    auto mark = stream.mark(count);
    try {
        stream.reserve(count);
        Sources sources;
        interruption::Countdown countdown(1024);
        for (std::size_t i = 0; i < count; ++i) {
            countdown.tick();
            sources.clear();
            push_sample(i, sources);
            on_sample(i, sources);
        }
    } catch (...) {
        stream.roll_back(std::move(mark));
        throw;
    }
}

inline std::optional<double> last_of(const SlidingHistory<double>& values) {
    if (values.empty()) return std::nullopt;
    return values.back();
}

}  // namespace kaltrope
