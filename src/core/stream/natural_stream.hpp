#pragma once
// Online natural visibility. A new sample n sees its predecessor, and then
// every earlier sample strictly above the line from n through the last one
// it saw. The backward scan is linear; in the indexed mode it hands over to
// searches of a hull index of the history where sources are sparse.

#include <expected>
#include <limits>
#include <string>
#include <string_view>

#include "core/predicates/sight_line.hpp"
#include "core/stream/growing_hull_index.hpp"
#include "core/stream/stream_common.hpp"
#include "support/name_table.hpp"

namespace kaltrope {

enum class StreamMode { Auto, Scan, Indexed };

// "auto", "scan" or "indexed", exactly.
extern const NameTable<StreamMode> kStreamModeNames;

class NaturalStream {
public:
    NaturalStream(std::optional<std::size_t> window, StreamMode mode) : window_(window), mode_(mode) {}
    // A stream that has taken count samples, the last values.size() of them
    // given with their positions (checked by the caller: finite, positions
    // strictly increasing); its index is grown again as it is needed.
    NaturalStream(std::optional<std::size_t> window, StreamMode mode, std::size_t count, Series values,
                  Series positions);

    std::size_t size() const { return values_.size(); }
    StreamMode mode() const { return mode_; }

    // The samples a later one may see, [window_start(size()), size()), and
    // their positions.
    Series seen_values() const { return values_.rows_from(window_start(size(), window_)); }
    Series seen_positions() const { return positions_.rows_from(window_start(size(), window_)); }

    // Releases the history that no later sample can see (amortised).
    void release_unseen();

    // Room for `more` samples, ahead of a run.
    void reserve(std::size_t more);

    // Checks a run of samples (and their positions, if given) as if pushed
    // one by one; nothing changes.
    Validated check_run(Series values, std::optional<Series> positions) const;

    // Appends a checked sample and its sources (the predecessor first, then
    // by decreasing index) to sources. If it throws, the stream is unchanged.
    void push_checked(double value, std::optional<double> position, Sources& sources);

    // What undoing a run needs (the sample count before it), and the undoing:
    // the samples pushed since are forgotten as if never pushed.
    std::size_t mark(std::size_t /*run_length*/) const { return size(); }
    void roll_back(std::size_t size);

private:
    // The line from the new sample n through its last visible sample v.
    struct Sight {
        std::size_t v;
        SightLine<Side::Left> line;
    };

    // Exact; comparing against the line to v alone, not against every sample
    // between, is valid only because exact comparisons are transitive.
    bool sees(const Sight& sight, std::size_t k) const { return sight.line.above(positions_[k], values_[k]); }
    void look_at(Sight& sight, std::size_t k) const {
        sight.v = k;
        sight.line.aim_at(positions_[k], values_[k]);
    }

    // An upper bound on the values of the kept samples at or before k.
    double highest_through(std::size_t k) const {
        const std::size_t unit = k / kHighestUnit;
        return unit < unit_highest_.size() ? unit_highest_[unit] : highest_;
    }
    // True when no sample at or before k lies above the line of sight: the
    // line rises (or stays level) into the past and already clears the
    // highest of them at k. Exact, since the point (x_k, that highest value)
    // is tested exactly and lies on or above every sample at or before k.
    bool hidden_through(const Sight& sight, std::size_t k) const {
        return values_[sight.v] >= sight.line.ya() && !sight.line.above(positions_[k], highest_through(k));
    }
    void record_sample(double value, double position);
    // highest_ and coordinates_ of the kept samples alone.
    void measure_kept();

    // Searches the index below scanned_to (the backward scan has tested
    // everything from there up to v) towards earliest, for as long as the
    // search pays; false once every source is found.
    bool search_index(Sight& sight, std::size_t earliest, std::size_t scanned_to, Sources& sources) const;

    std::optional<std::size_t> window_;
    StreamMode mode_;
    History values_;
    History positions_;
    GrowingHullIndex index_;  // used once the search is indexed
    // Of every kept sample (at least), for the pruning tolerance of the
    // index and the reach of a line of sight: both look at kept samples alone.
    CoordinateRange coordinates_;
    // unit_highest_[u] bounds the values of the kept samples before
    // (u + 1) * kHighestUnit; highest_ those of all kept samples.
    static constexpr std::size_t kHighestUnit = 32;
    History unit_highest_;
    double highest_ = -std::numeric_limits<double>::infinity();
};

}  // namespace kaltrope
