#pragma once
// Online vector visibility: samples are vectors, compared through their
// projections onto each earlier sample (its anchor). An anchor keeps what the
// samples after it have shown so far, so each new sample is one dot product
// per anchor.

#include <span>
#include <vector>

#include "core/stream/stream_common.hpp"

namespace kaltrope {

class VectorStream {
public:
    VectorStream(std::optional<std::size_t> window, std::size_t dim, bool horizontal)
        : window_(window), dim_(dim), horizontal_(horizontal), data_(dim) {}

    std::size_t size() const { return positions_.size(); }

    // Room for `more` samples, ahead of a run.
    void reserve(std::size_t more) {
        data_.reserve(more);
        positions_.reserve(more);
    }
    std::size_t dim() const { return dim_; }
    bool horizontal() const { return horizontal_; }

    // The samples a later one may see, [window_start(size()), size()), as
    // rows of dim values, and their positions.
    Series seen_data() const { return data_.rows_from(window_start(size(), window_)); }
    Series seen_positions() const { return positions_.rows_from(window_start(size(), window_)); }

    // Releases the history that no later sample can see (amortised).
    void release_unseen();

    // Checks rows samples of row_length values each (laid end to end in
    // data), with their positions if given, as if pushed one by one.
    Validated check_run(Series data, std::size_t row_length, std::size_t rows, std::optional<Series> positions) const;

    // Appends a checked vector of dim values and its sources, by ascending
    // index, to sources. If it throws, the stream is unchanged.
    void push_checked(Series vector, std::optional<double> position, Sources& sources);

    // One per earlier sample that may still see later ones.
    struct Anchor {
        std::size_t index;
        double norm2;     // the anchor's own squared length
        double best_num;  // natural: height of the last visible sample; horizontal: highest projection since
        double best_den;  // natural: its position difference
    };

    // Products are formed from values scaled by 2^values and positions by
    // 2^positions (see core/vector_visibility/scaling.hpp), the exponents
    // chosen from the largest magnitudes taken so far: set when they leave
    // the safe range, and kept while the scaled largest stays in it, so a
    // stream rescales only a handful of times. An anchor's norm2 and best_num
    // are in the values' scale squared, its best_den in the positions' scale.
    struct Scaling {
        int values = 0;
        int positions = 0;
        double largest_value = 0;
        double largest_position = 0;
    };

    // What undoing a run of run_length samples needs: the sample count, the
    // scaling and, for more than one sample, a copy of the anchors before it.
    struct Mark {
        std::size_t size;
        std::optional<std::vector<Anchor>> anchors;
        Scaling scaling;
    };
    // A stream that has taken count samples, the last ones given as rows of
    // dim values with their positions, and the anchors among them, by index
    // (all checked by the caller). Each anchor's norm2 is computed here.
    VectorStream(std::optional<std::size_t> window, std::size_t dim, bool horizontal, std::size_t count, Series data,
                 Series positions, std::vector<Anchor> anchors);
    // The anchors that a later sample may use, by index, as a saved state
    // holds them: in the scale that a stream built from seen_data() and
    // seen_positions() chooses (none for values in the safe range).
    std::vector<Anchor> saved_anchors() const;

    Mark mark(std::size_t run_length) const;
    // Forgets the samples pushed since mark, as if never pushed.
    void roll_back(Mark mark);

private:
    std::optional<std::size_t> window_;
    std::size_t dim_;
    bool horizontal_;
    SlidingHistory<double> data_;  // rows of dim_ values
    SlidingHistory<double> positions_;
    std::vector<Anchor> anchors_;  // by index
    std::vector<Anchor> spare_;    // after a push: the anchors before it
    Scaling scaling_;
    std::vector<double> scratch_;  // the sample scaled

    Scaling scaling_of(Series data, Series positions) const;
    std::span<const Anchor> seen_anchors() const;
    template <bool Scaled>
    void test_anchors(std::vector<Anchor>::const_iterator first_kept, const double* vector, double x, Scaling next,
                      Sources& sources);
};

}  // namespace kaltrope
