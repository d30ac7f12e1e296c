#include "io/import/csv_header.hpp"

#include <vector>

#include "io/import/csv_fields.hpp"
#include "io/import/utf8_text.hpp"

namespace kaltrope::io {
namespace {

// The names of the header's fields, unquoted.
std::vector<std::string> names_of(std::string_view header) {
    std::vector<std::string> names;
    std::string scratch;
    for (std::size_t start = 0;;) {
        const std::size_t end = field_end(header, start, ",");
        const std::string_view field = header.substr(start, end == std::string_view::npos ? end : end - start);
        names.emplace_back(unquoted(field, scratch));
        if (end == std::string_view::npos) return names;
        start = end + 1;
    }
}

std::expected<std::size_t, std::string> find_column(const std::vector<std::string>& names, std::string_view wanted) {
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
    const std::vector<std::string> names = names_of(header_line(text).line);
    const auto time = find_column(names, time_column);
    if (!time) return std::unexpected(time.error());
    const auto value = find_column(names, value_column);
    if (!value) return std::unexpected(value.error());
    return CsvImportOptions{
        .has_header = true, .time_column = *time, .value_column = *value, .delimiter = U',', .missing_marker = ""};
}

}  // namespace kaltrope::io
