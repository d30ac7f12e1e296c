#pragma once
// A line of sight from a point a through a point b, and the exact test of
// whether a point k lies strictly above it: the sign of the orientation of
// orientation.hpp, decided in nearly every case by one product and one
// comparison, as cheap as the bare floating-point test.
//
// A leftward line stores its differences negated (exact), so that "above" is
// l > r on both sides, with
//
//     l = fl(rise_x * fl(y_k - y_a)),   r = fl(rise_y * run),   run = fl(x_k - x_a),
//
// rise_x = fl(x_b - x_a) > 0 and rise_y = fl(y_b - y_a) (both negated on the
// left, where the run is negative).
//
// Thresholds. aim_at shifts rise_y by 16 eps |rise_y| (exact) to either side,
// so that below = fl(low * run) lies under r and over = fl(high * run) above
// it, each by at least 12 eps |r| after the three relative roundings involved
// (the shifted slope and the two products), whatever the signs. Then
// l < below settles "not above" and l > over settles "above": l < (1 + 12 eps) r
// with r < 0, or l < (1 - 12 eps) r with r > 0, gives |l - r| >= 6 eps (|l| + |r|),
// so the rounded l - r exceeds 5.99 eps (|l| + |r|), more than the bound of
// settled(), below 3.0001 eps (|l| + |r|) since its underflow guard is below
// 2^-100 |r|; "above" likewise. Each threshold test agrees with a settled
// filter, and is therefore exact.
//
// That needs every product to stay far from underflow and overflow, which
// moderate coordinates guarantee (see moderate): a nonzero rise_y makes
// |r| >= 2^-904, and every product stays below 2^999. A rise_y of 0 means
// y_b = y_a, so O is the product of rise_x and y_k - y_a, whose sign l keeps
// (it cannot underflow either): both thresholds are 0, and l decides alone.
// A series that is not moderate gets NaN thresholds, which settle nothing.
//
// Whatever lies between the thresholds goes to the filter of settled() and,
// where that cannot settle it either, to the exact evaluation; where every
// coordinate is a small whole number, det = l - r is exact and decides alone.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <type_traits>

#include <emmintrin.h>

#include "core/predicates/orientation.hpp"
#include "core/series/input.hpp"

namespace kaltrope {

// A coordinate is moderate when it is 0 or of magnitude within
// [2^-400, 2^498]. Two different moderate numbers differ by at least 2^-452
// (both are multiples of the smaller one's unit in the last place) and by at
// most 2^499, so every product of two differences is 0 or lies within
// [2^-904, 2^998], as its rounded value does.
inline constexpr double kSmallestModerate = 0x1p-400;
inline constexpr double kLargestModerate = 0x1p498;

inline bool moderate(double v) {
    const double a = std::abs(v);
    return (a <= kLargestModerate) & ((a >= kSmallestModerate) | (a == 0));
}

// True when every one of the numbers is moderate.
bool all_moderate(std::span<const double> numbers);

// What lines of sight within one series share.
struct SeriesExtent {
    bool exact_in_double;  // every coordinate a whole number within products_exact
    bool moderate;         // every coordinate moderate
};

template <class Positions>
SeriesExtent extent_of(Series y, Positions x) {
    bool moderate_positions = true;  // 0, 1, ..., n - 1 are
    if constexpr (std::is_same_v<Positions, ExplicitPositions>) moderate_positions = all_moderate({x.x, y.size()});
    return {small_whole_numbers(y, x), moderate_positions && all_moderate(y)};
}

// Where the far end of a line of sight lies: left or right of its start.
enum class Side { Left, Right };

// A line's thresholds lie this share of its rise away from the rise.
inline constexpr double kThresholdShift = 0x1p-49;

// What a line of sight may assume of the coordinates: nothing, or that they
// are small whole numbers (SeriesExtent::exact_in_double), so that nothing
// rounds and det alone decides every test, as cheaply as it can be.
enum class Coordinates { Any, SmallWhole };

// The line of sight from a to b on the given side of it. Moving the far end
// keeps a.
template <Side FarEnd, Coordinates Kind = Coordinates::Any>
class SightLine {
public:
    SightLine(double xa, double ya, double xb, double yb, SeriesExtent extent)
        : xa_(xa),
          ya_(ya),
          shift_(extent.moderate ? kThresholdShift : std::numeric_limits<double>::quiet_NaN()),
          exact_in_double_(Kind == Coordinates::SmallWhole || extent.exact_in_double) {
        aim_at(xb, yb);
    }

    void aim_at(double xb, double yb) {
        xb_ = xb;
        yb_ = yb;
        rise_x_ = FarEnd == Side::Right ? xb - xa_ : xa_ - xb;
        rise_y_ = FarEnd == Side::Right ? yb - ya_ : ya_ - yb;
        if constexpr (Kind == Coordinates::Any) {
            // The run is positive on the right and negative on the left.
            const double shift = kDirection * shift_ * std::abs(rise_y_);
            low_ = rise_y_ - shift;
            high_ = rise_y_ + shift;
        }
    }

    // True when (x, y) lies strictly above the line, at its own position.
    bool above(double x, double y) const {
        const double l = rise_x_ * (y - ya_);
        const double run = x - xa_;
        if constexpr (Kind == Coordinates::SmallWhole) {
            return l > rise_y_ * run;
        } else {
            if (settled_below(x, y)) return false;
            if (l > high_ * run) return true;
            return near_line(l, run, x, y);
        }
    }

    // Walks outward from position (the candidate dealt with last) over the
    // candidates of samples y, x up to end (inclusive) that the threshold test
    // settles as below the line, two at a time, and returns the last of them:
    // the next candidate, if any, is the one after the position returned. The
    // vector lanes compute exactly the scalar test's products. A line over
    // small whole numbers, whose tests are hits more often than not, skips
    // nothing.
    template <class Positions>
    std::uint32_t pass_below(const double* y, Positions x, std::uint32_t position, std::uint32_t end) const {
        if constexpr (Kind == Coordinates::SmallWhole) {
            return position;
        } else {
            const __m128d ya = _mm_set1_pd(ya_);
            const __m128d xa = _mm_set1_pd(xa_);
            const __m128d rise_x = _mm_set1_pd(rise_x_);
            const __m128d low = _mm_set1_pd(low_);
            auto below = [&](std::uint32_t first) {  // lanes first, first + 1
                const __m128d l = _mm_mul_pd(rise_x, _mm_sub_pd(_mm_loadu_pd(y + first), ya));
                const __m128d q = _mm_mul_pd(low, _mm_sub_pd(position_pair(x, first), xa));
                return _mm_movemask_pd(_mm_cmplt_pd(l, q));
            };
            if constexpr (FarEnd == Side::Right) {
                for (; end - position >= 2; position += 2) {
                    const int lanes = below(position + 1);
                    if (lanes != 3) return position + (lanes & 1);
                }
                if (position < end && settled_below(x[position + 1], y[position + 1])) ++position;
            } else {
                for (; position - end >= 2; position -= 2) {
                    const int lanes = below(position - 2);
                    if (lanes != 3) return position - (lanes >> 1);
                }
                if (position > end && settled_below(x[position - 1], y[position - 1])) --position;
            }
            return position;
        }
    }

    double xa() const { return xa_; }
    double ya() const { return ya_; }

private:
    static __m128d position_pair(UniformPositions, std::uint32_t first) {
        return _mm_add_pd(_mm_set1_pd(static_cast<double>(first)), _mm_set_pd(1.0, 0.0));
    }
    static __m128d position_pair(ExplicitPositions x, std::uint32_t first) { return _mm_loadu_pd(x.x + first); }

    bool settled_below(double x, double y) const { return rise_x_ * (y - ya_) < low_ * (x - xa_); }

    static constexpr double kDirection = FarEnd == Side::Right ? 1.0 : -1.0;

    bool near_line(double l, double run, double x, double y) const {
        const double r = rise_y_ * run;
        if (exact_in_double_ || settled(l, r)) return l > r;
        return kDirection * exact_orientation(xa_, ya_, xb_, yb_, x, y) > 0;
    }

    double xa_;
    double ya_;
    double shift_;
    bool exact_in_double_;
    double xb_ = 0;
    double yb_ = 0;
    double rise_x_ = 0;
    double rise_y_ = 0;
    double low_ = 0;
    double high_ = 0;
};

}  // namespace kaltrope
