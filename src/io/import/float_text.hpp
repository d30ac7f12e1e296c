#pragma once
// Numbers written in CSV cells.

#include <optional>
#include <string_view>

namespace kaltrope::io {

// The whole of text as a float: an optional sign, digits with an optional
// fraction and exponent, or inf, infinity and nan in any letter case. No
// surrounding blanks. Values beyond the range of a double read as an
// infinity or as zero, like any other decimal, correctly rounded.
std::optional<double> parse_float(std::string_view text);

}  // namespace kaltrope::io
