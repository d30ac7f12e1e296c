#pragma once
// Lines and fields of CSV text as people write it: a UTF-8 byte-order mark
// before the first line, blank lines, lines ending in "\n", "\r\n" or (the
// last one) "\r", and fields quoted in the RFC 4180 way ("a ""b""" holds
// a "b"). A quoted field ends on its own line.

#include <cstddef>
#include <string>
#include <string_view>

namespace kaltrope::io {

// text after the UTF-8 byte-order mark it starts with, if any.
std::string_view without_byte_order_mark(std::string_view text);

// Whether line holds nothing but white space.
bool is_blank(std::string_view line);

// line without the carriage return it ends with, if any.
std::string_view without_carriage_return(std::string_view line);

// The header: the first line of text that is not blank (after any
// byte-order mark), without its line break; the text after it; and its line
// number, counted from 1. An empty line and the whole text for a text
// without such a line.
struct HeaderLine {
    std::string_view line;
    std::string_view rest;
    std::size_t number = 1;
};
HeaderLine header_line(std::string_view text);

// The end of the field that starts at start: the position of the delimiter
// after it, or npos for the line's last field. A field that starts with a
// quote runs at least to its closing quote, so delimiters inside it do not
// count; an unclosed one runs to the end of the line.
std::size_t field_end(std::string_view line, std::size_t start, std::string_view delimiter);

// A quoted field's content, each doubled quote made single (kept in scratch
// when there is one); any other field as it stands.
std::string_view unquoted(std::string_view field, std::string& scratch);

}  // namespace kaltrope::io
