#include "io/import/float_text.hpp"

#include <locale.h>
#include <stdlib.h>

#include <charconv>
#include <cmath>
#include <string>

namespace kaltrope::io {
namespace {

// strtod in the "C" locale, whatever locale the process runs in.
double parse_out_of_range(std::string_view text) {
    static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", locale_t{});
    const std::string copy(text);
    return strtod_l(copy.c_str(), nullptr, c_locale);
}

}  // namespace

std::optional<double> parse_float(std::string_view text) {
    std::string_view unsigned_part = text;
    // from_chars takes no plus sign.
    if (!unsigned_part.empty() && unsigned_part.front() == '+') {
        unsigned_part.remove_prefix(1);
        if (!unsigned_part.empty() && (unsigned_part.front() == '-' || unsigned_part.front() == '+')) {
            return std::nullopt;
        }
    }
    const char* end = unsigned_part.data() + unsigned_part.size();
    double value = 0.0;
    const auto [stop, error] = std::from_chars(unsigned_part.data(), end, value);
    if (stop != end || unsigned_part.empty()) return std::nullopt;
    // from_chars reads "nan(chars)" too, which is not a number of this format.
    if (std::isnan(value) && unsigned_part.back() == ')') return std::nullopt;
    if (error == std::errc::result_out_of_range) return parse_out_of_range(unsigned_part);
    if (error != std::errc{}) return std::nullopt;
    return value;
}

}  // namespace kaltrope::io
