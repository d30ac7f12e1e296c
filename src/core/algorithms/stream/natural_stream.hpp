#pragma once
// Online natural visibility. A new sample n sees its predecessor, and then
// every earlier sample strictly above the line from n through the last one
// it saw. The backward scan is linear; in the indexed mode it hands over to
// hull-tree searches over blocks of history where sources are sparse.

#include <expected>
#include <string>
#include <string_view>

#include "core/algorithms/hull/hull_tree.hpp"
#include "core/algorithms/stream/stream_common.hpp"

namespace kaltrope {

enum class StreamMode { Auto, Scan, Indexed };

// "auto", "scan" or "indexed", exactly.
std::expected<StreamMode, std::string> parse_stream_mode(std::string_view text);

class NaturalStream {
public:
    NaturalStream(std::optional<std::size_t> window, StreamMode mode) : window_(window), mode_(mode) {}

    std::size_t size() const { return values_.size(); }

    // Room for `more` samples, ahead of a run.
    void reserve(std::size_t more);

    // Checks a run of samples (and their positions, if given) as if pushed
    // one by one; nothing changes.
    Validated check_run(Series values, std::optional<Series> positions) const;

    // Appends a checked sample and its sources (the predecessor first, then
    // by decreasing index) to sources.
    void push_checked(double value, std::optional<double> position, Sources& sources);

private:
    // A hull tree over samples [start, start + tree.size()), reading them in
    // place from values_ and positions_.
    struct Block {
        HullTree tree;
        std::size_t start;
        double highest_so_far;  // the highest value of samples [0, end)
        std::size_t end() const { return start + tree.size(); }
    };

    // The line from the new sample n through its last visible sample v.
    struct Sight {
        std::size_t n;
        double x;
        double y;
        std::size_t v;
        double dy;  // y_v - y_n
        double dx;  // x_n - x_v
    };

    bool sees(const Sight& sight, std::size_t k) const {
        return (values_[k] - sight.y) * sight.dx > sight.dy * (sight.x - positions_[k]);
    }
    void look_at(Sight& sight, std::size_t k) const;

    // Puts samples up to n into blocks; those before earliest are not kept.
    void index_history(std::size_t n, std::size_t earliest);
    void drop_blocks_before(std::size_t earliest);
    void rebind_blocks();

    // Searches the blocks below scanned_to (the backward scan has tested
    // everything from there up to v) towards earliest, for as long as the
    // search pays; false once every source is found.
    bool search_blocks(Sight& sight, std::size_t earliest, std::size_t scanned_to, Sources& sources) const;
    // The nearest sample in [earliest, limit) above the line of sight.
    std::optional<std::size_t> nearest_in_blocks(const Sight& sight, std::size_t earliest, std::size_t limit,
                                                 std::uint64_t& work) const;

    std::optional<std::size_t> window_;
    StreamMode mode_;
    std::vector<double> values_;
    std::vector<double> positions_;
    std::vector<Block> blocks_;  // by start, oldest first
    double largest_magnitude_ = 0;  // max |y| over all samples
    std::size_t indexed_ = 0;    // samples [0, indexed_) are in blocks, or were before the window passed them
};

}  // namespace kaltrope
