#pragma once
// Writing a finished text to a file, all or nothing.

#include <expected>
#include <string>
#include <string_view>

namespace kaltrope::io {

struct FileWriteError {
    int error_number;  // errno of the failed call

    // The system's description with its number, "No such file or directory (os error 2)".
    std::string message() const;
};

// Saves text at path. A regular file (new, or one that a path of symbolic
// links leads to) is written whole to a new temporary file beside it, created
// exclusively with the permission bits 0666 less the file-creation mask (an
// existing file's own bits when it is replaced), and then renamed over it: on
// any failure the temporary file is removed and an existing file is left as
// it was. A file that is not regular, such as a device or a pipe, is opened
// and written in place. Blocking calls interrupted by a signal run the
// signal check and retry; a long write polls for interruption
// (interruption::Interrupted, with the temporary file removed).
std::expected<void, FileWriteError> write_text_file(const std::string& path, std::string_view text);

}  // namespace kaltrope::io
