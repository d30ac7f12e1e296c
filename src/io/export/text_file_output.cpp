#include "io/export/text_file_output.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <optional>

#include "io/os_error.hpp"
#include "io/system_calls.hpp"
#include "support/interruption.hpp"

namespace kaltrope::io {
namespace {

using Saved = std::expected<void, FileWriteError>;

std::unexpected<FileWriteError> failure(int error_number) { return std::unexpected(FileWriteError{error_number}); }

// Writes are issued in pieces of this size, with a poll between them.
constexpr std::size_t kWritePiece = std::size_t{16} << 20;
// As many symbolic links as the system itself follows in one path.
constexpr int kMaxLinks = 40;

// The file a save replaces, after any symbolic links, and its status when it exists.
struct Target {
    std::string path;
    std::optional<struct stat> status;
};

std::string directory_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::expected<Target, int> resolve(std::string path) {
    for (int links = 0;; ++links) {
        struct stat status {};
        if (lstat(path.c_str(), &status) != 0) {
            if (errno == ENOENT) return Target{std::move(path), std::nullopt};
            return std::unexpected(errno);
        }
        if (!S_ISLNK(status.st_mode)) return Target{std::move(path), status};
        if (links == kMaxLinks) return std::unexpected(ELOOP);
        std::string link(static_cast<std::size_t>(status.st_size > 0 ? status.st_size : 255) + 1, '\0');
        const ssize_t length = readlink(path.c_str(), link.data(), link.size());
        if (length < 0) return std::unexpected(errno);
        link.resize(std::min(static_cast<std::size_t>(length), link.size()));
        path = link.starts_with('/') ? link : directory_of(path) + "/" + link;
    }
}

Saved write_all(int file, std::string_view text) {
    while (!text.empty()) {
        interruption::poll();
        const ssize_t written =
            retry_interrupted([&] { return write(file, text.data(), std::min(text.size(), kWritePiece)); });
        if (written < 0) return failure(errno);
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

// The old way, for files that cannot be replaced: create or truncate, then write.
Saved write_in_place(const std::string& path, std::string_view text) {
    const int file =
        retry_interrupted([&] { return open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666); });
    if (file < 0) return failure(errno);
    Descriptor closing(file);
    if (auto written = write_all(file, text); !written) return written;
    // A delayed write error (a full disk, a network file system) shows only here.
    if (closing.close() != 0) return failure(errno);
    return {};
}

// A new file beside the target, removed again unless it was renamed.
class TemporaryFile {
public:
    static std::expected<TemporaryFile, int> create_in(const std::string& directory) {
        static std::atomic<unsigned> counter{0};
        const auto clock = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string path = directory + "/.kaltrope-" + std::to_string(getpid()) + "-" +
                               std::to_string(counter.fetch_add(1)) + "-" + std::to_string(clock % 1000000) + ".tmp";
            const int file =
                retry_interrupted([&] { return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); });
            if (file >= 0) return TemporaryFile(std::move(path), file);
            if (errno != EEXIST) return std::unexpected(errno);
        }
        return std::unexpected(EEXIST);
    }

    TemporaryFile(TemporaryFile&& other) noexcept
        : path_(std::move(other.path_)),
          file_(std::exchange(other.file_, -1)),
          kept_(std::exchange(other.kept_, true)) {}
    TemporaryFile& operator=(TemporaryFile&&) = delete;
    ~TemporaryFile() {
        if (file_ >= 0) close(file_);
        if (!kept_) unlink(path_.c_str());
    }

    int descriptor() const { return file_; }
    int close_file() { return close(std::exchange(file_, -1)); }
    // Renames the closed file to target; it is no longer removed.
    int rename_to(const std::string& target) {
        const int result = rename(path_.c_str(), target.c_str());
        if (result == 0) kept_ = true;
        return result;
    }

private:
    TemporaryFile(std::string path, int file) : path_(std::move(path)), file_(file) {}
    std::string path_;
    int file_;
    bool kept_ = false;
};

}  // namespace

std::string FileWriteError::message() const { return os_error_message(error_number); }

Saved write_text_file(const std::string& path, std::string_view text) {
    const auto target = resolve(path);
    if (!target) return failure(target.error());
    if (target->status && S_ISDIR(target->status->st_mode)) return failure(EISDIR);
    if (target->status && !S_ISREG(target->status->st_mode)) return write_in_place(target->path, text);

    auto temporary = TemporaryFile::create_in(directory_of(target->path));
    if (!temporary) return failure(temporary.error());
    // A replaced file keeps its permissions (a failure only leaves the new default ones).
    if (target->status) (void)fchmod(temporary->descriptor(), target->status->st_mode & 07777);
    if (auto written = write_all(temporary->descriptor(), text); !written) return written;
    if (temporary->close_file() != 0) return failure(errno);
    if (temporary->rename_to(target->path) != 0) return failure(errno);
    return {};
}

}  // namespace kaltrope::io
