#include "io/export/shortest_float.hpp"

#include <cmath>
#include <string_view>

namespace kaltrope::io {
namespace {

// The shortest digits, as d.ddde±x, laid out in fixed notation: digits then
// zeros for large values, so 7.205759403792133e16 is "72057594037921330".
// (Fixed notation straight from to_chars would write the exact binary value
// there, "72057594037921328": as short, but with digits the value does not
// carry.)
void append_fixed(std::string& text, std::string_view scientific) {
    if (scientific.front() == '-') {
        text += '-';
        scientific.remove_prefix(1);
    }
    const std::size_t e = scientific.find('e');
    std::string digits(scientific.substr(0, e));
    if (digits.size() > 1) digits.erase(1, 1);  // the point after the first digit
    int exponent = 0;
    std::from_chars(scientific.data() + e + 1 + (scientific[e + 1] == '+'), scientific.data() + scientific.size(),
                    exponent);
    const auto count = static_cast<int>(digits.size());
    if (exponent >= count - 1) {
        text += digits;
        text.append(static_cast<std::size_t>(exponent - (count - 1)), '0');
    } else if (exponent >= 0) {
        const auto point = static_cast<std::size_t>(exponent + 1);
        text.append(digits, 0, point);
        text += '.';
        text.append(digits, point);
    } else {
        text += "0.";
        text.append(static_cast<std::size_t>(-exponent - 1), '0');
        text += digits;
    }
}

}  // namespace

void append_shortest_float(std::string& text, double value) {
    if (std::isnan(value)) {
        text += "NaN";
        return;
    }
    if (std::isinf(value)) {
        text += value > 0 ? "inf" : "-inf";
        return;
    }
    char scientific[32];
    const auto end =
        std::to_chars(scientific, scientific + sizeof scientific, value, std::chars_format::scientific).ptr;
    append_fixed(text, std::string_view(scientific, static_cast<std::size_t>(end - scientific)));
}

}  // namespace kaltrope::io
