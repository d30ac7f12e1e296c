#include "core/stream/vector_stream.hpp"

#include <algorithm>
#include <limits>

namespace kaltrope {
namespace {

double dot(const double* a, const double* b, std::size_t dim) {
    double sum = 0;
    for (std::size_t d = 0; d < dim; ++d) sum += a[d] * b[d];
    return sum;
}

}  // namespace

Validated VectorStream::check_run(Series data, std::size_t row_length, std::size_t rows,
                                  std::optional<Series> positions) const {
    PositionRun run(size(), last_of(positions_), positions);
    for (std::size_t i = 0; i < rows; ++i) {
        if (row_length != dim_) return std::unexpected(InputError{InputError::Kind::MismatchedLength});
        const Series row = data.subspan(i * row_length, row_length);
        if (!std::all_of(row.begin(), row.end(), is_finite)) {
            return std::unexpected(InputError{InputError::Kind::NonFinite, size() + i});
        }
        if (auto valid = run.check(i); !valid) return valid;
    }
    return {};
}

void VectorStream::push_checked(Series vector, std::optional<double> position, Sources& sources) {
    const std::size_t n = size();
    const double x = position.value_or(static_cast<double>(n));
    const std::size_t earliest = window_start(n, window_);
    const auto first_kept = std::find_if(anchors_.begin(), anchors_.end(),
                                         [earliest](const Anchor& anchor) { return anchor.index >= earliest; });
    // All room first, so that nothing changes if it cannot be had.
    spare_.clear();
    make_room(spare_, anchors_.size() + 1);
    make_room(sources, anchors_.size());
    reserve(1);

    // The anchors after this sample go to spare_; the ones before it stay
    // as they were, for undoing the push.
    for (auto it = first_kept; it != anchors_.end(); ++it) {
        // Long anchor lists poll for interruption; nothing has changed yet.
        if ((it - first_kept) % 4096 == 4095) interruption::poll();
        Anchor anchor = *it;
        const double e = dot(data_.row(anchor.index), vector.data(), dim_);
        const bool predecessor = anchor.index + 1 == n;
        if (horizontal_) {
            if (predecessor || anchor.best_num < std::min(anchor.norm2, e)) sources.push_back(anchor.index);
            anchor.best_num = std::max(anchor.best_num, e);
            // Once a projection reaches the anchor's own length, nothing later can see it.
            if (!(anchor.norm2 > anchor.best_num)) continue;
        } else {
            const double s = e - anchor.norm2;
            const double delta = x - positions_[anchor.index];
            if (predecessor || s * anchor.best_den > delta * anchor.best_num) {
                sources.push_back(anchor.index);
                anchor.best_num = s;
                anchor.best_den = delta;
            }
        }
        spare_.push_back(anchor);
    }
    spare_.push_back({n, dot(vector.data(), vector.data(), dim_), -std::numeric_limits<double>::infinity(), 1.0});
    data_.append(vector);
    positions_.push_back(x);
    anchors_.swap(spare_);
}

VectorStream::Mark VectorStream::mark(std::size_t run_length) const {
    // The anchors before a single push are kept by the push itself.
    if (run_length <= 1) return {size(), std::nullopt};
    return {size(), anchors_};
}

void VectorStream::roll_back(Mark mark) {
    if (mark.anchors) {
        anchors_.swap(*mark.anchors);
    } else if (size() > mark.size) {
        anchors_.swap(spare_);
    }
    data_.truncate(mark.size);
    positions_.truncate(mark.size);
}

VectorStream::VectorStream(std::optional<std::size_t> window, std::size_t dim, bool horizontal, std::size_t count,
                           Series data, Series positions, std::vector<Anchor> anchors)
    : window_(window),
      dim_(dim),
      horizontal_(horizontal),
      data_(dim, count - positions.size(), data),
      positions_(1, count - positions.size(), positions),
      anchors_(std::move(anchors)) {
    for (Anchor& anchor : anchors_) {
        const double* row = data_.row(anchor.index);
        anchor.norm2 = dot(row, row, dim_);
    }
}

std::span<const VectorStream::Anchor> VectorStream::seen_anchors() const {
    const std::size_t earliest = window_start(size(), window_);
    return std::span<const Anchor>(std::ranges::find_if(anchors_, [&](const Anchor& a) { return a.index >= earliest; }),
                                   anchors_.end());
}

void VectorStream::release_unseen() {
    const std::size_t earliest = window_start(size(), window_);
    data_.release_before(earliest);
    positions_.release_before(earliest);
}

}  // namespace kaltrope
