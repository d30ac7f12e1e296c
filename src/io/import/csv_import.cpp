#include "io/import/csv_import.hpp"

#include <algorithm>

#include "io/import/float_text.hpp"
#include "io/import/utf8_text.hpp"

namespace kaltrope::io {
namespace {

// A cell as shown in a message: long ones are cut, at a character boundary.
std::string shown(std::string_view cell) {
    constexpr std::size_t kLongest = 40;
    if (cell.size() <= kLongest) return quoted(cell);
    std::size_t cut = kLongest;
    while (cut > 0 && (static_cast<unsigned char>(cell[cut]) & 0xC0) == 0x80) --cut;
    return quoted(cell.substr(0, cut)) + "...";
}

struct Cells {
    std::string_view time;
    std::string_view value;
};

// The cells of line at the time and value columns; nothing when the line
// has too few fields.
std::optional<Cells> cells_of(std::string_view line, std::string_view delimiter, const CsvImportOptions& options) {
    const std::size_t last_needed = std::max(options.value_column, options.time_column.value_or(0));
    Cells cells;
    std::size_t start = 0;
    for (std::size_t index = 0;; ++index) {
        const std::size_t stop = line.find(delimiter, start);
        const std::string_view field = line.substr(start, stop == std::string_view::npos ? stop : stop - start);
        if (index == options.time_column) cells.time = field;
        if (index == options.value_column) cells.value = field;
        if (index == last_needed) return cells;
        if (stop == std::string_view::npos) return std::nullopt;
        start = stop + delimiter.size();
    }
}

}  // namespace

std::string CsvImportError::message() const { return TimeSeriesError{TimeSeriesError::Kind::Empty}.message(); }

std::string CsvImportError::detail() const {
    const std::string where = "line " + std::to_string(line);
    switch (kind) {
        case Kind::NoRows: return {};
        case Kind::TooFewFields: return where + " has too few fields";
        case Kind::BadTimestamp: return where + ": timestamp " + shown(field) + " is not a number";
        case Kind::BadValue: return where + ": value " + shown(field) + " is not a number";
    }
    return {};
}

std::expected<TimeSeries, CsvImportError> from_csv_string(std::string_view text, const CsvImportOptions& options) {
    const std::string delimiter = encode_utf8(options.delimiter);
    const std::size_t line_breaks = static_cast<std::size_t>(std::ranges::count(text, '\n'));
    std::vector<double> timestamps;
    std::vector<Sample> values;
    timestamps.reserve(line_breaks + 1);
    values.reserve(line_breaks + 1);

    std::size_t line_number = 0;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t line_break = text.find('\n', start);
        std::string_view line = text.substr(start, line_break == std::string_view::npos ? line_break : line_break - start);
        if (line_break != std::string_view::npos && line.ends_with('\r')) line.remove_suffix(1);
        start = line_break == std::string_view::npos ? text.size() : line_break + 1;
        ++line_number;
        if (line_number == 1 && options.has_header) continue;

        const auto cells = cells_of(line, delimiter, options);
        if (!cells) return std::unexpected(CsvImportError{CsvImportError::Kind::TooFewFields, line_number});
        std::optional<double> timestamp = static_cast<double>(values.size());
        if (options.time_column) timestamp = parse_float(cells->time);
        if (!timestamp) {
            return std::unexpected(CsvImportError{CsvImportError::Kind::BadTimestamp, line_number, std::string(cells->time)});
        }
        const std::string_view value_cell = trim_white_space(cells->value);
        Sample value;
        if (value_cell != options.missing_marker) {
            value = parse_float(value_cell);
            if (!value) {
                return std::unexpected(CsvImportError{CsvImportError::Kind::BadValue, line_number, std::string(value_cell)});
            }
        }
        timestamps.push_back(*timestamp);
        values.push_back(value);
    }
    auto series = TimeSeries::create(std::move(timestamps), std::move(values));
    if (!series) return std::unexpected(CsvImportError{CsvImportError::Kind::NoRows});
    return std::move(*series);
}

}  // namespace kaltrope::io
