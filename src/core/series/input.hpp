#pragma once
// What the array engines may assume about their input, and how input that
// breaks those assumptions is rejected.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <expected>
#include <span>
#include <string>

namespace kaltrope {

using Series = std::span<const double>;

struct InputError {
    enum class Kind { NonFinite, MismatchedLength, BadPosition, TooLong };
    Kind kind;
    std::size_t index = 0;  // for NonFinite and BadPosition

    std::string message() const;
    friend bool operator==(const InputError&, const InputError&) = default;
};

using Validated = std::expected<void, InputError>;

// Engines index samples with 32-bit integers.
inline constexpr std::uint64_t kMaxSamples = std::uint64_t{1} << 32;

// Finite means neither NaN nor an infinity, tested on the bit pattern.
inline bool is_finite(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return (bits & 0x7FFFFFFFFFFFFFFFull) <= 0x7FEFFFFFFFFFFFFFull;
}

// Length, then finiteness of every value.
Validated validate_series(Series y);

// Lengths match, every position is finite, then positions strictly increase.
Validated validate_positions(Series y, Series x);
// The same for positions shared by series of `length` samples each.
Validated validate_positions(std::size_t length, Series x);

// Every row as validate_series, in row order; the first failure wins.
Validated validate_rows(std::span<const Series> rows);

// Sample positions: x_i = i, or the caller's strictly increasing values.
struct UniformPositions {
    // Through a signed integer, which converts in one instruction (an
    // unsigned 64-bit one takes a branch or several); every index is below
    // kMaxSamples, so the value is the same.
    double operator[](std::size_t i) const { return static_cast<double>(static_cast<std::int64_t>(i)); }
};

struct ExplicitPositions {
    const double* x;
    double operator[](std::size_t i) const { return x[i]; }
};

}  // namespace kaltrope
