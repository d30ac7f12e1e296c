#include "core/stream/vector_stream.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/vector_visibility/scaling.hpp"

namespace kaltrope {
namespace {

double dot(const double* a, const double* b, std::size_t dim) {
    double sum = 0;
    for (std::size_t d = 0; d < dim; ++d) sum += a[d] * b[d];
    return sum;
}

// The dot product of a * 2^k (scale = 2^k) and b, b already scaled: the
// products of the two scaled rows, summed as dot() sums them.
double scaled_dot(const double* a, double scale, const double* b, std::size_t dim) {
    double sum = 0;
    for (std::size_t d = 0; d < dim; ++d) sum += (a[d] * scale) * b[d];
    return sum;
}

double self_dot(const double* a, int exponent, std::size_t dim) {
    const double scale = std::ldexp(1.0, exponent);
    double sum = 0;
    for (std::size_t d = 0; d < dim; ++d) sum += (a[d] * scale) * (a[d] * scale);
    return sum;
}

// Takes a largest magnitude seen so far into an exponent: a new one is
// chosen only when the largest, scaled, leaves the safe range.
void widen(double largest, double& kept, int& exponent) {
    if (!(largest > kept)) return;
    kept = largest;
    const double scaled = std::ldexp(largest, exponent);
    if (scaled > vector::kSafeHigh || scaled < vector::kSafeLow) exponent = vector::scale_exponent(largest);
}

constexpr double kFresh = -std::numeric_limits<double>::infinity();

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

// The anchors after this sample go to spare_, each tested against it; the
// ones before it stay as they were, for undoing the push. Scaled: the
// products are formed from values and positions scaled as `next` says, and
// the anchors taken into its scale first (the plain loop, for streams that
// never left the safe range, is compiled apart).
template <bool Scaled>
void VectorStream::test_anchors(std::vector<Anchor>::const_iterator first_kept, const double* vector, double x,
                                Scaling next, Sources& sources) {
    const std::size_t n = size();
    const double value_scale = std::ldexp(1.0, next.values);
    const double position_scale = std::ldexp(1.0, next.positions);
    const int num_shift = 2 * (next.values - scaling_.values);
    const int den_shift = next.positions - scaling_.positions;
    if constexpr (Scaled) {
        for (std::size_t d = 0; d < dim_; ++d) scratch_[d] = vector[d] * value_scale;
        vector = scratch_.data();
        x *= position_scale;
    }
    for (auto it = first_kept; it != anchors_.end(); ++it) {
        // Long anchor lists poll for interruption; nothing has changed yet.
        if ((it - first_kept) % 4096 == 4095) interruption::poll();
        Anchor anchor = *it;
        const double* row = data_.row(anchor.index);
        if constexpr (Scaled) {
            if (num_shift != 0) {
                anchor.norm2 = self_dot(row, next.values, dim_);
                anchor.best_num = std::ldexp(anchor.best_num, num_shift);
            }
            if (den_shift != 0 && !horizontal_ && anchor.best_num != kFresh) {
                anchor.best_den = std::ldexp(anchor.best_den, den_shift);
            }
        }
        const double e = Scaled ? scaled_dot(row, value_scale, vector, dim_) : dot(row, vector, dim_);
        const bool predecessor = anchor.index + 1 == n;
        if (horizontal_) {
            if (predecessor || anchor.best_num < std::min(anchor.norm2, e)) sources.push_back(anchor.index);
            anchor.best_num = std::max(anchor.best_num, e);
            // Once a projection reaches the anchor's own length, nothing later can see it.
            if (!(anchor.norm2 > anchor.best_num)) continue;
        } else {
            const double s = e - anchor.norm2;
            const double delta = x - (Scaled ? positions_[anchor.index] * position_scale : positions_[anchor.index]);
            if (predecessor || s * anchor.best_den > delta * anchor.best_num) {
                sources.push_back(anchor.index);
                anchor.best_num = s;
                anchor.best_den = delta;
            }
        }
        spare_.push_back(anchor);
    }
    spare_.push_back({n, dot(vector, vector, dim_), kFresh, 1.0});
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
    scratch_.resize(dim_);

    Scaling next = scaling_;
    widen(vector::largest_magnitude(vector.data(), dim_), next.largest_value, next.values);
    if (!horizontal_) widen(std::fabs(x), next.largest_position, next.positions);
    if (next.values != 0 || next.positions != 0 || scaling_.values != 0 || scaling_.positions != 0) [[unlikely]] {
        test_anchors<true>(first_kept, vector.data(), x, next, sources);
    } else {
        test_anchors<false>(first_kept, vector.data(), x, next, sources);
    }
    data_.append(vector);
    positions_.push_back(x);
    anchors_.swap(spare_);
    scaling_ = next;
}

VectorStream::Mark VectorStream::mark(std::size_t run_length) const {
    // The anchors before a single push are kept by the push itself.
    if (run_length <= 1) return {size(), std::nullopt, scaling_};
    return {size(), anchors_, scaling_};
}

void VectorStream::roll_back(Mark mark) {
    if (mark.anchors) {
        anchors_.swap(*mark.anchors);
    } else if (size() > mark.size) {
        anchors_.swap(spare_);
    }
    data_.truncate(mark.size);
    positions_.truncate(mark.size);
    scaling_ = mark.scaling;
}

VectorStream::VectorStream(std::optional<std::size_t> window, std::size_t dim, bool horizontal, std::size_t count,
                           Series data, Series positions, std::vector<Anchor> anchors)
    : window_(window),
      dim_(dim),
      horizontal_(horizontal),
      data_(dim, count - positions.size(), data),
      positions_(1, count - positions.size(), positions),
      anchors_(std::move(anchors)),
      scaling_(scaling_of(data, positions)) {
    for (Anchor& anchor : anchors_) {
        const double* row = data_.row(anchor.index);
        anchor.norm2 = scaling_.values == 0 ? dot(row, row, dim_) : self_dot(row, scaling_.values, dim_);
    }
}

// The scaling of a stream restored from these samples: each exponent the
// one its largest magnitude calls for.
VectorStream::Scaling VectorStream::scaling_of(Series data, Series positions) const {
    Scaling scaling;
    scaling.largest_value = vector::largest_magnitude(data.data(), data.size());
    scaling.values = vector::scale_exponent(scaling.largest_value);
    if (!horizontal_) {
        scaling.largest_position = vector::largest_magnitude(positions.data(), positions.size());
        scaling.positions = vector::scale_exponent(scaling.largest_position);
    }
    return scaling;
}

std::vector<VectorStream::Anchor> VectorStream::saved_anchors() const {
    const std::span<const Anchor> seen = seen_anchors();
    std::vector<Anchor> saved(seen.begin(), seen.end());
    const Scaling restored = scaling_of(seen_data(), seen_positions());
    const int num_shift = 2 * (restored.values - scaling_.values);
    const int den_shift = restored.positions - scaling_.positions;
    if (num_shift == 0 && den_shift == 0) return saved;
    for (Anchor& anchor : saved) {
        const bool fresh = anchor.best_num == kFresh;
        anchor.best_num = std::ldexp(anchor.best_num, num_shift);
        if (!horizontal_ && !fresh) {
            // A position difference stays positive, however small.
            anchor.best_den =
                std::max(std::ldexp(anchor.best_den, den_shift), std::numeric_limits<double>::denorm_min());
        }
    }
    return saved;
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
