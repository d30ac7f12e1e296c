#include "io/import/text_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "io/import/utf8_text.hpp"
#include "io/os_error.hpp"
#include "io/system_calls.hpp"
#include "support/interruption.hpp"

namespace kaltrope::io {
namespace {

std::unexpected<FileReadError> system_error() { return std::unexpected(FileReadError{errno}); }

}  // namespace

std::string FileReadError::message() const {
    if (error_number == 0) {
        return "not valid UTF-8 (invalid byte at offset " + std::to_string(invalid_byte) + ")";
    }
    return os_error_message(error_number);
}

std::expected<TextFile, FileReadError> read_text_file(const std::string& path) {
    // Opening a pipe waits for a writer; a signal may interrupt that wait.
    Descriptor file(retry_interrupted([&] { return open(path.c_str(), O_RDONLY | O_CLOEXEC); }));
    if (file.get() < 0) return system_error();
    struct stat status {};
    if (fstat(file.get(), &status) != 0) return system_error();

    // The size is only a first guess: files that are not regular, or that
    // grow meanwhile, are read to their end.
    std::size_t capacity = status.st_size > 0 ? static_cast<std::size_t>(status.st_size) + 1 : 4096;
    auto bytes = memory::allocate_large_buffer<char>(capacity);
    std::size_t length = 0;
    for (;;) {
        if (length == capacity) {
            capacity *= 2;
            memory::resize_large_buffer(bytes, capacity);
        }
        interruption::poll();
        const ssize_t count =
            retry_interrupted([&] { return read(file.get(), bytes.get() + length, capacity - length); });
        if (count < 0) return system_error();
        if (count == 0) break;
        length += static_cast<std::size_t>(count);
    }
    TextFile text(std::move(bytes), length);
    if (const auto invalid = first_invalid_utf8(text.text())) return std::unexpected(FileReadError{0, *invalid});
    return text;
}

}  // namespace kaltrope::io
