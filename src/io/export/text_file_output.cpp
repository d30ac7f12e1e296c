#include "io/export/text_file_output.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "io/os_error.hpp"

namespace kaltrope::io {

std::string FileWriteError::message() const { return os_error_message(error_number); }

std::expected<void, FileWriteError> write_text_file(const std::string& path, std::string_view text) {
    const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (file < 0) return std::unexpected(FileWriteError{errno});
    while (!text.empty()) {
        const ssize_t written = write(file, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            const int error_number = errno;
            close(file);
            return std::unexpected(FileWriteError{error_number});
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    // A delayed write error (a full disk, a network file system) shows only here.
    if (close(file) != 0) return std::unexpected(FileWriteError{errno});
    return {};
}

}  // namespace kaltrope::io
