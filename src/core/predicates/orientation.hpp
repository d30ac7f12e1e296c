#pragma once
// The one predicate behind every natural visibility decision: the exact sign
// of the orientation
//
//     O(a, b, k) = (x_b - x_a)(y_k - y_a) - (y_b - y_a)(x_k - x_a)
//
// of three points given by finite doubles. O > 0 when k lies to the left of
// the directed line a -> b: above it when x_b > x_a, below it when x_b < x_a.
//
// A floating-point filter settles nearly every case; whatever it cannot
// settle goes to an exact evaluation on the original doubles.
//
// The filter computes l = fl(fl(x_b - x_a) * fl(y_k - y_a)) and
// r = fl(fl(y_b - y_a) * fl(x_k - x_a)) and trusts the sign of det = fl(l - r)
// when |det| exceeds
//
//     bound = fl(kRelativeBound * fl(fl(|l| + |r|) + kUnderflowGuard)),
//     kRelativeBound = (3 + 16 eps) eps,  kUnderflowGuard = 2^-1020,  eps = 2^-53.
//
// Derivation. Without underflow or overflow every operation rounds with a
// relative error of at most eps, and Shewchuk's analysis of this very
// expression (his orient2d, error bound A) shows
// |det - O| <= (3 eps + 16 eps^2) fl(|l| + |r|); the 16 eps^2 leaves room for
// the two roundings of the bound itself. Underflow adds absolute errors only:
// a difference or a sum whose result is subnormal is exact, and a product
// that underflows is off by at most 2^-1075, so l and r together carry at
// most 2^-1074 more, and the bound's product may lose 2^-1075 in turn. The
// guard adds kRelativeBound * 2^-1020 > 3 * 2^-1073 to the bound, which
// covers both. (The guard is a normal number added before the product: a
// subnormal operand would cost a slow microcode path on every test.)
// Overflow makes l, r, det or the bound infinite or NaN, and then neither
// comparison holds, so the filter settles nothing. The differences x_b - x_a
// themselves round, which is why the exact path never uses them.
//
// The exact path (orientation.cpp) expands the determinant into six products
// of the original coordinates, x_b y_k - x_b y_a - x_a y_k - y_b x_k + y_b x_a
// + y_a x_k, writes each double as an integer times a power of two (53-bit
// mantissa, subnormals included), multiplies the mantissas in 128 bits and
// adds the six products in a fixed-point integer wide enough for the whole
// exponent range of doubles. No rounding, overflow or underflow can occur, so
// every finite input is decided exactly; there is no exception. It costs tens
// of nanoseconds and runs only on near-collinear triples.
//
// With small whole numbers (see products_exact) every difference and product
// above is exact in double, and det is O itself; a SightLine (sight_line.hpp)
// told so settles its unsettled cases by det alone, which keeps exactly
// collinear data as fast as the filter.

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace kaltrope {

inline constexpr double kRelativeBound = (3.0 + 16.0 * 0x1p-53) * 0x1p-53;
inline constexpr double kUnderflowGuard = 0x1p-1020;

// True when the error bound settles the sign of l - r, which is then the
// sign of the comparison of l and r. Callers branch on the comparison alone
// and on this rarely failing check apart, so that a mispredicted decision
// does not wait for the bound.
[[gnu::always_inline]] inline bool settled(double l, double r) {
    return std::abs(l - r) > kRelativeBound * (std::abs(l) + std::abs(r) + kUnderflowGuard);
}

// The exact sign of O(a, b, k); 0 when a coordinate is not finite.
[[gnu::noinline]] int exact_orientation(double xa, double ya, double xb, double yb, double xk, double yk);

// The exact sign of O(a, b, k) for finite coordinates.
inline int orientation(double xa, double ya, double xb, double yb, double xk, double yk) {
    const double l = (xb - xa) * (yk - ya);
    const double r = (yb - ya) * (xk - xa);
    if (!settled(l, r)) [[unlikely]]
        return exact_orientation(xa, ya, xb, yb, xk, yk);
    return l > r ? 1 : -1;
}

// True when coordinates that are all whole numbers with these largest
// magnitudes make every difference and product of an orientation exact in
// double: differences stay below 2 (|y| + 1) and 2 (|x| + 1), their products
// below 2^51.
inline bool products_exact(double largest_value, double largest_position) {
    return (largest_value + 1) * (largest_position + 1) <= 0x1p49;
}

// True when every value y[i] and position x[i] is a whole number and they
// lie within products_exact; stops at the first sample that is not whole.
template <class Values, class Positions>
bool small_whole_numbers(const Values& y, Positions x) {
    double largest_value = 0;
    double largest_position = 0;
    for (std::size_t i = 0; i < y.size(); ++i) {
        if (y[i] != std::trunc(y[i]) || x[i] != std::trunc(x[i])) return false;
        largest_value = std::max(largest_value, std::abs(y[i]));
        largest_position = std::max(largest_position, std::abs(x[i]));
    }
    return products_exact(largest_value, largest_position);
}

}  // namespace kaltrope
