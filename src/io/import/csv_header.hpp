#pragma once
// Choosing the columns of a CSV text by the names in its header line.

#include <cstddef>
#include <expected>
#include <string>
#include <string_view>

#include "io/import/csv_import.hpp"

namespace kaltrope::io {

// Import options for comma-separated text whose header line (its first
// line that is not blank) names the columns, split at every comma outside
// quotes, names as they stand or unquoted: the time and value columns are
// the first ones with the given names, and an empty or blank value cell is
// a missing sample. A name not in the header gives the message
// "column 'x' not found in header [\"time\", \"value\"]"; the time column is
// looked up first.
std::expected<CsvImportOptions, std::string> options_by_header(std::string_view text, std::string_view time_column,
                                                               std::string_view value_column);

}  // namespace kaltrope::io
