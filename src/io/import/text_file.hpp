#pragma once
// Reading a whole file as UTF-8 text.

#include <cstddef>
#include <expected>
#include <string>

namespace kaltrope::io {

struct FileReadError {
    int error_number = 0;          // errno of the failed call; 0 when the bytes are not UTF-8
    std::size_t invalid_byte = 0;  // offset of the first byte that is not UTF-8

    // The system's description with its number, "No such file or directory
    // (os error 2)", or where the text stops being UTF-8.
    std::string message() const;
};

// The file's whole content, which must be well-formed UTF-8.
std::expected<std::string, FileReadError> read_text_file(const std::string& path);

}  // namespace kaltrope::io
