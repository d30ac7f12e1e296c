#pragma once
// UTF-8 text as the import reads it: validity, white space, code points and
// quoted display.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kaltrope::io {

// The byte offset of the first byte that does not belong to well-formed
// UTF-8 (no overlong forms, surrogates or code points above U+10FFFF).
std::optional<std::size_t> first_invalid_utf8(std::string_view text);

// text without the Unicode white space at either end.
std::string_view trim_white_space(std::string_view text);

// The UTF-8 bytes of one code point; a surrogate or a value above U+10FFFF
// becomes U+FFFD.
std::string encode_utf8(char32_t code_point);

// text in double quotes, with quotes, backslashes and control characters
// escaped: "a\tb" is written "\"a\\tb\"".
std::string quoted(std::string_view text);

}  // namespace kaltrope::io
