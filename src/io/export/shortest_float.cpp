#include "io/export/shortest_float.hpp"

#include <cmath>

namespace kaltrope::io {

void append_shortest_float(std::string& text, double value) {
    if (std::isnan(value)) {
        text += "NaN";
        return;
    }
    // Fixed notation without a precision is the shortest form that reads
    // back; the longest is the smallest subnormal, 0. and 323 zeros and digits.
    char digits[400];
    const auto end = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed).ptr;
    text.append(digits, end);
}

}  // namespace kaltrope::io
