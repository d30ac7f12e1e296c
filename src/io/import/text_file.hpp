#pragma once
// Reading a whole file as UTF-8 text.

#include <cstddef>
#include <expected>
#include <string>
#include <string_view>

#include "support/large_buffer.hpp"

namespace kaltrope::io {

struct FileReadError {
    int error_number = 0;          // errno of the failed call; 0 when the bytes are not UTF-8
    std::size_t invalid_byte = 0;  // offset of the first byte that is not UTF-8

    // The system's description with its number, "No such file or directory
    // (os error 2)", or where the text stops being UTF-8.
    std::string message() const;
};

class TextFile {
public:
    TextFile(memory::LargeBuffer<char> bytes, std::size_t size) : bytes_(std::move(bytes)), size_(size) {}
    std::string_view text() const { return {bytes_.get(), size_}; }

private:
    memory::LargeBuffer<char> bytes_;
    std::size_t size_;
};

// The file's whole content, which must be well-formed UTF-8.
std::expected<TextFile, FileReadError> read_text_file(const std::string& path);

}  // namespace kaltrope::io
