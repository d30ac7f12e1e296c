#pragma once
// Writing a finished text to a file.

#include <expected>
#include <string>
#include <string_view>

namespace kaltrope::io {

struct FileWriteError {
    int error_number;  // errno of the failed call

    // The system's description with its number, "No such file or directory (os error 2)".
    std::string message() const;
};

// Creates the file at path, or truncates it, with permission bits 0666 less
// the process's file-creation mask, and writes text. On failure the file is
// left as the failed call left it: not created when it cannot be opened.
std::expected<void, FileWriteError> write_text_file(const std::string& path, std::string_view text);

}  // namespace kaltrope::io
