#include "driver/results_file.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "driver/stop_signals.hpp"

namespace pellimor {

namespace {

std::string not_regular(mode_t mode) {
    const char* kind = S_ISFIFO(mode)   ? "a FIFO"
                       : S_ISCHR(mode)  ? "a character device"
                       : S_ISBLK(mode)  ? "a block device"
                       : S_ISSOCK(mode) ? "a socket"
                       : S_ISDIR(mode)  ? "a directory"
                                        : "not a file";
    return std::string("not a regular file (") + kind + ")";
}

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    // Closes now; the errno of a failed close, or 0.
    int close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result == 0 ? 0 : errno;
    }

  private:
    int fd_;
};

// O_NONBLOCK: opening a FIFO for writing would otherwise wait for a reader,
// for ever if none comes. A regular file ignores the flag.
int open_for_append(const std::string& path, int access) {
    return ::open(path.c_str(), access | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
}

}  // namespace

std::optional<std::string> append_line(const std::string& path, std::string_view line) {
    // Read access too, to see the last byte; a file that may be written but
    // not read is appended to as it is.
    bool readable = true;
    int fd = open_for_append(path, O_RDWR);
    if (fd < 0 && errno == EACCES) {
        readable = false;
        fd = open_for_append(path, O_WRONLY);
    }
    if (fd < 0) {
        const int error = errno;
        struct stat status {};
        if (error == ENXIO && ::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
            return not_regular(status.st_mode);  // a FIFO without a reader
        }
        return std::strerror(error);
    }
    FileDescriptor file(fd);
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        return std::strerror(errno);
    }
    if (!S_ISREG(status.st_mode)) {
        return not_regular(status.st_mode);
    }
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR || stop_signal() != 0) {
            return std::strerror(errno);
        }
    }
    // The size under the lock: other runs may have appended since the open.
    if (::fstat(fd, &status) != 0) {
        return std::strerror(errno);
    }
    const off_t size_before = status.st_size;
    std::string text;
    text.reserve(line.size() + 1);
    char last = '\n';
    if (readable && size_before > 0 && ::pread(fd, &last, 1, size_before - 1) == 1 &&
        last != '\n') {
        text += '\n';
    }
    text += line;
    if (const int error = write_all(fd, text); error != 0) {
        std::string reason = write_failure_text(error);
        if (::ftruncate(fd, size_before) != 0) {
            reason += "; part of the line stays in the file, as cutting it off failed: ";
            reason += std::strerror(errno);
        }
        return reason;
    }
    if (const int error = file.close(); error != 0) {
        return std::strerror(error);
    }
    return std::nullopt;
}

}  // namespace pellimor
