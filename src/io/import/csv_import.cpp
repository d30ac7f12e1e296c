#include "io/import/csv_import.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <numeric>

#include "io/import/csv_fields.hpp"
#include "io/import/float_text.hpp"
#include "io/import/utf8_text.hpp"
#include "support/worker_pool.hpp"

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
        const std::size_t stop = field_end(line, start, delimiter);
        const std::string_view field = line.substr(start, stop == std::string_view::npos ? stop : stop - start);
        if (index == options.time_column) cells.time = field;
        if (index == options.value_column) cells.value = field;
        if (index == last_needed) return cells;
        if (stop == std::string_view::npos) return std::nullopt;
        start = stop + delimiter.size();
    }
}

// Lines of the text, read on their own into the rows from first_row on.
struct Chunk {
    std::string_view text;
    std::size_t rows = 0;  // one per line
    std::size_t first_row = 0;
    std::size_t kept = 0;  // rows read: the lines that are not blank
    std::optional<CsvImportError> error{};
};

// Large texts are read in pieces of about this size, in parallel.
constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

// The text in chunks of whole lines: each but the last ends with a line break.
std::vector<Chunk> chunks_of(std::string_view text) {
    std::vector<Chunk> chunks;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = std::min(start + kChunkBytes, text.size());
        if (end < text.size()) {
            const std::size_t line_break = text.find('\n', end - 1);
            end = line_break == std::string_view::npos ? text.size() : line_break + 1;
        }
        chunks.push_back({text.substr(start, end - start)});
        start = end;
    }
    return chunks;
}

// A last line without a line break counts too. Eight bytes at a time: the
// high bit of a byte of `zero` is set exactly where the byte is '\n'.
std::size_t lines_in(std::string_view text) {
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
    constexpr std::uint64_t kLineBreaks = 0x0A0A0A0A0A0A0A0Aull;
    std::size_t breaks = 0;
    std::size_t at = 0;
    for (; at + 8 <= text.size(); at += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + at, sizeof word);
        const std::uint64_t x = word ^ kLineBreaks;
        const std::uint64_t zero = ~(((x & kLow7) + kLow7) | x | kLow7);
        breaks += static_cast<std::size_t>(std::popcount(zero));
    }
    breaks += static_cast<std::size_t>(std::count(text.begin() + static_cast<std::ptrdiff_t>(at), text.end(), '\n'));
    return breaks + (!text.empty() && !text.ends_with('\n') ? 1 : 0);
}

struct Reader {
    const CsvImportOptions& options;
    std::string delimiter;
    std::size_t first_data_line;  // the number of the line of row 0

    // The rows of chunk, up to its first bad line, which it records; the
    // rows of lines that are not blank go to the first slots from first_row on.
    void read(Chunk& chunk, std::span<double> timestamps, std::span<Sample> values) const {
        std::string time_scratch;
        std::string value_scratch;
        std::size_t row = chunk.first_row;
        for (std::size_t start = 0, line_index = chunk.first_row; start < chunk.text.size(); ++line_index) {
            const std::size_t line_break = chunk.text.find('\n', start);
            const bool broken = line_break != std::string_view::npos;
            const std::string_view line =
                without_carriage_return(chunk.text.substr(start, broken ? line_break - start : line_break));
            start = broken ? line_break + 1 : chunk.text.size();
            const std::size_t line_number = first_data_line + line_index;
            if (is_blank(line)) continue;

            const auto cells = cells_of(line, delimiter, options);
            if (!cells) {
                chunk.error = CsvImportError{CsvImportError::Kind::TooFewFields, line_number};
                return;
            }
            std::optional<double> timestamp = static_cast<double>(row);
            const std::string_view time_cell = unquoted(cells->time, time_scratch);
            if (options.time_column) timestamp = parse_float(time_cell);
            if (!timestamp) {
                chunk.error = CsvImportError{CsvImportError::Kind::BadTimestamp, line_number, std::string(time_cell)};
                return;
            }
            const std::string_view value_cell =
                trim_white_space(unquoted(trim_white_space(cells->value), value_scratch));
            if (value_cell != options.missing_marker) {
                values[row] = parse_float(value_cell);
                if (!values[row]) {
                    chunk.error = CsvImportError{CsvImportError::Kind::BadValue, line_number, std::string(value_cell)};
                    return;
                }
            }
            timestamps[row] = *timestamp;
            ++row;
        }
        chunk.kept = row - chunk.first_row;
    }
};

// Moves the rows each chunk kept next to those of the chunks before it;
// returns how many there are.
std::size_t close_up(std::span<const Chunk> chunks, std::vector<double>& timestamps, std::vector<Sample>& values) {
    std::size_t kept = 0;
    for (const Chunk& chunk : chunks) {
        if (chunk.first_row != kept) {
            const auto from = static_cast<std::ptrdiff_t>(chunk.first_row);
            const auto count = static_cast<std::ptrdiff_t>(chunk.kept);
            std::copy(timestamps.begin() + from, timestamps.begin() + from + count,
                      timestamps.begin() + static_cast<std::ptrdiff_t>(kept));
            std::copy(values.begin() + from, values.begin() + from + count,
                      values.begin() + static_cast<std::ptrdiff_t>(kept));
        }
        kept += chunk.kept;
    }
    return kept;
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
    std::string_view body = without_byte_order_mark(text);
    std::size_t first_data_line = 1;
    if (options.has_header) {
        const HeaderLine header = header_line(text);
        body = header.rest;
        first_data_line = header.number + 1;
    }
    std::vector<Chunk> chunks = chunks_of(body);
    parallel::for_each_index(chunks.size(), [&](std::size_t k) { chunks[k].rows = lines_in(chunks[k].text); });
    std::size_t rows = 0;
    for (Chunk& chunk : chunks) {
        chunk.first_row = rows;
        rows += chunk.rows;
    }
    if (rows == 0) return std::unexpected(CsvImportError{CsvImportError::Kind::NoRows});

    const Reader reader{options, encode_utf8(options.delimiter), first_data_line};
    std::vector<double> timestamps(rows);
    std::vector<Sample> values(rows);
    parallel::for_each_index(chunks.size(), [&](std::size_t k) { reader.read(chunks[k], timestamps, values); });
    // The first bad line of the text is the first one of the first chunk that has one.
    for (const Chunk& chunk : chunks) {
        if (chunk.error) return std::unexpected(*chunk.error);
    }
    if (const std::size_t kept = close_up(chunks, timestamps, values); kept < rows) {
        if (kept == 0) return std::unexpected(CsvImportError{CsvImportError::Kind::NoRows});
        timestamps.resize(kept);
        values.resize(kept);
        // Row numbers count the rows read.
        if (!options.time_column) std::iota(timestamps.begin(), timestamps.end(), 0.0);
    }
    return std::move(*TimeSeries::create(std::move(timestamps), std::move(values)));
}

}  // namespace kaltrope::io
