#pragma once
// Online vector visibility: samples are vectors, compared through their
// projections onto each earlier sample (its anchor). An anchor keeps what the
// samples after it have shown so far, so each new sample is one dot product
// per anchor.

#include "core/stream/stream_common.hpp"

namespace kaltrope {

class VectorStream {
public:
    VectorStream(std::optional<std::size_t> window, std::size_t dim, bool horizontal)
        : window_(window), dim_(dim), horizontal_(horizontal) {}

    std::size_t size() const { return positions_.size(); }

    // Room for `more` samples, ahead of a run.
    void reserve(std::size_t more) {
        make_room(data_, more * dim_);
        make_room(positions_, more);
    }
    std::size_t dim() const { return dim_; }

    // Checks rows samples of row_length values each (laid end to end in
    // data), with their positions if given, as if pushed one by one.
    Validated check_run(Series data, std::size_t row_length, std::size_t rows,
                        std::optional<Series> positions) const;

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

    // What undoing a run of run_length samples needs: the sample count and,
    // for more than one sample, a copy of the anchors before it.
    struct Mark {
        std::size_t size;
        std::optional<std::vector<Anchor>> anchors;
    };
    Mark mark(std::size_t run_length) const;
    // Forgets the samples pushed since mark, as if never pushed.
    void roll_back(Mark mark);

private:
    std::optional<std::size_t> window_;
    std::size_t dim_;
    bool horizontal_;
    std::vector<double> data_;
    std::vector<double> positions_;
    std::vector<Anchor> anchors_;  // by index
    std::vector<Anchor> spare_;    // after a push: the anchors before it
};

}  // namespace kaltrope
