#pragma once
// A stream as plain data: what it keeps so that it goes on exactly as if it
// had never been interrupted, in the form it is saved and restored in.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/series/input.hpp"
#include "core/series/series_kind.hpp"
#include "core/stream/natural_stream.hpp"

namespace kaltrope {

// Changes whenever the saved form does; a state of another version is refused.
inline constexpr std::uint64_t kStreamStateVersion = 1;

// The anchors of a vector stream, one entry per anchor, by index.
struct AnchorColumns {
    std::vector<std::uint64_t> index;
    std::vector<double> best_num;
    std::vector<double> best_den;
};

struct StreamState {
    SeriesKind kind = SeriesKind::Natural;
    std::optional<std::size_t> window;
    std::optional<std::size_t> dim;  // vector kinds only
    StreamMode mode = StreamMode::Auto;
    std::size_t count = 0;  // samples taken
    // The samples a later one may see, [count - rows, count) with rows =
    // count - window_start(count): rows of dim values (one for the scalar kinds).
    Series values;
    Series positions;       // their positions; none for the horizontal kind
    AnchorColumns anchors;  // vector kinds only
};

}  // namespace kaltrope
