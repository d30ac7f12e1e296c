#pragma once
// Numbers as the exports write them.

#include <charconv>
#include <cstdint>
#include <string>

namespace kaltrope::io {

// Appends value in the shortest decimal form that reads back as the same
// double, never in exponent notation, without a fractional part when it is
// integral: 1.0 as "1", 1e21 as "1" and 21 zeros, 1e-7 as "0.0000001",
// -0.0 as "-0"; NaN as "NaN", the infinities as "inf" and "-inf".
void append_shortest_float(std::string& text, double value);

// Appends value in decimal.
inline void append_decimal(std::string& text, std::uint64_t value) {
    char digits[20];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    text.append(digits, end);
}

}  // namespace kaltrope::io
