#include "io/import/csv_header.hpp"

#include <vector>

#include "io/import/utf8_text.hpp"

namespace kaltrope::io {
namespace {

// The first line, without its line break (and a '\r' before it).
std::string_view header_line(std::string_view text) {
    const std::size_t line_break = text.find('\n');
    if (line_break == std::string_view::npos) return text;
    std::string_view line = text.substr(0, line_break);
    if (line.ends_with('\r')) line.remove_suffix(1);
    return line;
}

std::vector<std::string_view> names_of(std::string_view header) {
    std::vector<std::string_view> names;
    for (std::size_t start = 0;;) {
        const std::size_t comma = header.find(',', start);
        if (comma == std::string_view::npos) {
            names.push_back(header.substr(start));
            return names;
        }
        names.push_back(header.substr(start, comma - start));
        start = comma + 1;
    }
}

std::expected<std::size_t, std::string> find_column(const std::vector<std::string_view>& names,
                                                    std::string_view wanted) {
    for (std::size_t index = 0; index < names.size(); ++index) {
        if (names[index] == wanted) return index;
    }
    std::string listed = "[";
    for (std::size_t index = 0; index < names.size(); ++index) {
        if (index > 0) listed += ", ";
        listed += quoted(names[index]);
    }
    listed += "]";
    return std::unexpected("column '" + std::string(wanted) + "' not found in header " + listed);
}

}  // namespace

std::expected<CsvImportOptions, std::string> options_by_header(std::string_view text, std::string_view time_column,
                                                               std::string_view value_column) {
    const std::vector<std::string_view> names = names_of(header_line(text));
    const auto time = find_column(names, time_column);
    if (!time) return std::unexpected(time.error());
    const auto value = find_column(names, value_column);
    if (!value) return std::unexpected(value.error());
    return CsvImportOptions{
        .has_header = true, .time_column = *time, .value_column = *value, .delimiter = U',', .missing_marker = ""};
}

}  // namespace kaltrope::io
