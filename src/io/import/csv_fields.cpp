#include "io/import/csv_fields.hpp"

#include "io/import/utf8_text.hpp"

namespace kaltrope::io {

std::string_view without_byte_order_mark(std::string_view text) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    return text.starts_with(kByteOrderMark) ? text.substr(kByteOrderMark.size()) : text;
}

bool is_blank(std::string_view line) { return trim_white_space(line).empty(); }

std::string_view without_carriage_return(std::string_view line) {
    return line.ends_with('\r') ? line.substr(0, line.size() - 1) : line;
}

HeaderLine header_line(std::string_view text) {
    std::string_view rest = without_byte_order_mark(text);
    for (std::size_t number = 1; !rest.empty(); ++number) {
        const std::size_t line_break = rest.find('\n');
        const std::string_view line = without_carriage_return(rest.substr(0, line_break));
        const std::string_view after =
            line_break == std::string_view::npos ? std::string_view() : rest.substr(line_break + 1);
        if (!is_blank(line)) return {line, after, number};
        rest = after;
    }
    return {std::string_view(), without_byte_order_mark(text), 1};
}

std::size_t field_end(std::string_view line, std::size_t start, std::string_view delimiter) {
    std::size_t after_quotes = start;
    if (start < line.size() && line[start] == '"') {
        for (std::size_t at = start + 1;;) {
            at = line.find('"', at);
            if (at == std::string_view::npos) return std::string_view::npos;
            if (at + 1 < line.size() && line[at + 1] == '"') {
                at += 2;
                continue;
            }
            after_quotes = at + 1;
            break;
        }
    }
    return line.find(delimiter, after_quotes);
}

std::string_view unquoted(std::string_view field, std::string& scratch) {
    if (field.size() < 2 || field.front() != '"' || field.back() != '"') return field;
    const std::string_view inside = field.substr(1, field.size() - 2);
    if (inside.find('"') == std::string_view::npos) return inside;
    scratch.clear();
    for (std::size_t at = 0; at < inside.size(); ++at) {
        scratch += inside[at];
        if (inside[at] == '"' && at + 1 < inside.size() && inside[at + 1] == '"') ++at;
    }
    return scratch;
}

}  // namespace kaltrope::io
