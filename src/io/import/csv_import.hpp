#pragma once
// Time series from delimited text: one sample per line.

#include <cstddef>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

#include "core/time_series/time_series.hpp"

namespace kaltrope::io {

struct CsvImportOptions {
    bool has_header = true;                  // the first line is skipped
    std::optional<std::size_t> time_column;  // absent: timestamps are the row numbers
    std::size_t value_column = 0;
    char32_t delimiter = U',';
    std::string missing_marker;  // a value cell equal to it (after trimming) is missing
};

// Any failure of the import: no data rows, or the first line that could not
// be read. Its message is always "Time series is empty" (nothing read before
// the failure is returned); detail() says where and why.
struct CsvImportError {
    enum class Kind { NoRows, TooFewFields, BadTimestamp, BadValue };
    Kind kind;
    std::size_t line = 0;  // counted from 1, header included
    std::string field{};   // the cell that is not a number

    std::string message() const;
    // Empty for NoRows.
    std::string detail() const;
};

// Lines end at '\n' (a '\r' before it is dropped too; a last line without
// one is kept, a '\r' at its end dropped). A byte-order mark before the
// first line is ignored, blank lines are skipped (the header is the first
// line that is not blank), and cells may be quoted (csv_fields.hpp).
// Timestamps are read exactly as they stand; value cells are trimmed of
// white space before and after unquoting.
std::expected<TimeSeries, CsvImportError> from_csv_string(std::string_view text, const CsvImportOptions& options);

}  // namespace kaltrope::io
