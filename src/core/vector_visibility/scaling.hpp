#pragma once
// The vector tests multiply values with values, and the natural one such
// products with position differences. Multiplying every value by one power of
// two, and every position by another, scales each product and sum exactly,
// so it changes no decision as long as nothing overflows or becomes
// subnormal. Values whose largest magnitude M lies in [2^-250, 2^250] are
// used as they are: a projected height is below 2d M^2 <= d 2^501 for d
// features, a position difference of positions in the same range below
// 2^251, and their product far below 2^1024, while the products of the
// largest rows stay far above 2^-1022. Outside that range a copy scaled to
// bring M into [0.5, 1) is used instead; positions likewise. Rows much
// smaller than the largest can still lose their products to underflow.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace kaltrope::vector {

inline constexpr double kSafeLow = 0x1p-250;
inline constexpr double kSafeHigh = 0x1p250;

// The exponent k of the scale 2^k for values of largest magnitude `largest`:
// 0 within the safe range (or when all are zero), else the one that brings
// largest into [0.5, 1), kept within [-1022, 1022] so that 2^k is a normal
// double (a subnormal largest is brought above 2^-53 only).
inline int scale_exponent(double largest) {
    if (largest == 0 || (largest >= kSafeLow && largest <= kSafeHigh)) return 0;
    int exponent = 0;
    std::frexp(largest, &exponent);
    return std::clamp(-exponent, -1022, 1022);
}

inline double largest_magnitude(const double* values, std::size_t count) {
    double largest = 0;
    for (std::size_t i = 0; i < count; ++i) largest = std::max(largest, std::fabs(values[i]));
    return largest;
}

// Values as the tests take them: those given, or, where their largest
// magnitude lies outside the safe range, a copy scaled into it.
class SafeValues {
public:
    SafeValues(const double* values, std::size_t count) : data_(values) {
        if (const int exponent = scale_exponent(largest_magnitude(values, count)); exponent != 0) {
            copy_.resize(count);
            for (std::size_t i = 0; i < count; ++i) copy_[i] = std::ldexp(values[i], exponent);
            data_ = copy_.data();
        }
    }
    SafeValues(const SafeValues&) = delete;
    SafeValues& operator=(const SafeValues&) = delete;

    const double* data() const { return data_; }

private:
    std::vector<double> copy_;
    const double* data_;
};

}  // namespace kaltrope::vector
