#include "driver/output_target.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>
#include <vector>

#include "driver/stop_signals.hpp"
#include "driver/temporary_files.hpp"

namespace pellimor {

namespace {

namespace fs = std::filesystem;

std::string failure(const char* what, const std::string& file, int error) {
    return std::string("cannot ") + what + " '" + file + "': " + write_failure_text(error);
}

std::string folder_of(const std::string& path) {
    const std::string parent = fs::path(path).parent_path().string();
    return parent.empty() ? std::string(".") : parent;
}

// Follows the symlinks that `path` itself is (not those of its folders,
// which rename() goes through anyway), up to the kernel's own limit of 40.
std::string follow_links(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            return path;
        }
        std::vector<char> target(
            static_cast<std::size_t>(status.st_size > 0 ? status.st_size : 255) + 1);
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length < 0 || static_cast<std::size_t>(length) >= target.size()) {
            return path;
        }
        const std::string next(target.data(), static_cast<std::size_t>(length));
        path = next.starts_with('/') ? next : folder_of(path) + "/" + next;
    }
    return path;
}

// A name for the temporary file, short enough beside any valid file name.
std::string temporary_name(const std::string& folder) {
    static std::atomic<unsigned> counter{0};
    const auto now = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    char name[64];
    std::snprintf(name, sizeof name, "/.pellimor-%d-%llx-%u.tmp", static_cast<int>(::getpid()),
                  now & 0xffffffffULL, counter.fetch_add(1));
    return folder + name;
}

bool same_inode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool is_standard_output(const struct stat& status) {
    struct stat out {};
    return ::fstat(STDOUT_FILENO, &out) == 0 && same_inode(out, status);
}

}  // namespace

std::variant<OutputTarget, std::string> OutputTarget::open(const std::string& path) {
    OutputTarget target;
    target.path_ = path;
    target.resolved_ = path;
    if (path == "-") {
        return target;
    }
    if (path.empty()) {
        return std::string("cannot write to an empty file name");
    }
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0) {
        if (is_standard_output(status)) {
            return target;
        }
        if (S_ISDIR(status.st_mode)) {
            return failure("write", path, EISDIR);
        }
        if (!S_ISREG(status.st_mode)) {
            if (::access(path.c_str(), W_OK) != 0) {
                return failure("write", path, errno);
            }
            target.kind_ = Kind::DIRECT;
            return target;
        }
        target.mode_ = status.st_mode & 07777;
    } else if (errno != ENOENT) {
        return failure("write", path, errno);
    }
    target.kind_ = Kind::REPLACE;
    target.resolved_ = follow_links(path);
    if (target.resolved_.ends_with('/')) {
        return failure("create", path, EISDIR);
    }
    const std::string folder = folder_of(target.resolved_);
    // An anonymous file: it gets a name only at commit().
    target.fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (target.fd_ < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        // A file system without anonymous files: a named one, removed when
        // the target is dropped.
        target.temporary_ = temporary_name(folder);
        target.fd_ =
            ::open(target.temporary_.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
        target.linked_ = target.fd_ >= 0;
        if (target.linked_) {
            list_temporary_file(target.temporary_.c_str());
        }
    }
    if (target.fd_ < 0) {
        return failure("create", path, errno);
    }
    return target;
}

OutputTarget::OutputTarget(OutputTarget&& other) noexcept
    : kind_(other.kind_),
      path_(std::move(other.path_)),
      resolved_(std::move(other.resolved_)),
      fd_(std::exchange(other.fd_, -1)),
      linked_(std::exchange(other.linked_, false)),
      temporary_(std::move(other.temporary_)),
      mode_(other.mode_) {}

OutputTarget& OutputTarget::operator=(OutputTarget&& other) noexcept {
    if (this != &other) {
        discard();
        kind_ = other.kind_;
        path_ = std::move(other.path_);
        resolved_ = std::move(other.resolved_);
        fd_ = std::exchange(other.fd_, -1);
        linked_ = std::exchange(other.linked_, false);
        temporary_ = std::move(other.temporary_);
        mode_ = other.mode_;
    }
    return *this;
}

OutputTarget::~OutputTarget() {
    discard();
}

void OutputTarget::discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (linked_) {
        ::unlink(temporary_.c_str());
        unlist_temporary_file(temporary_.c_str());
        linked_ = false;
    }
}

std::optional<std::string> OutputTarget::write(std::string_view text) {
    int fd = fd_;
    if (kind_ == Kind::STANDARD_OUTPUT) {
        // After whatever the C library still holds for it.
        if (std::fflush(stdout) != 0) {
            return failure("write", path_, errno);
        }
        fd = STDOUT_FILENO;
    } else if (kind_ == Kind::DIRECT && fd_ < 0) {
        // Blocks until a FIFO has a reader; a stop signal ends the wait.
        while ((fd_ = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC)) < 0) {
            if (errno != EINTR || stop_signal() != 0) {
                return failure("open", path_, errno);
            }
        }
        fd = fd_;
    } else if (fd_ < 0) {
        return failure("write", path_, EBADF);
    }
    if (const int error = write_all(fd, text); error != 0) {
        return failure("write", path_, error);
    }
    return std::nullopt;
}

std::optional<std::string> OutputTarget::commit() {
    if (kind_ != Kind::REPLACE) {
        if (fd_ >= 0) {
            const int result = ::close(std::exchange(fd_, -1));
            if (result != 0) {
                return failure("write", path_, errno);
            }
        }
        return std::nullopt;
    }
    if (fd_ < 0) {
        return failure("write", path_, EBADF);
    }
    // The mode of the file replaced; a new file has 0666 less the umask.
    if (mode_ && ::fchmod(fd_, *mode_) != 0) {
        return failure("set the mode of", resolved_, errno);
    }
    if (::fsync(fd_) != 0) {
        return failure("write", resolved_, errno);
    }
    if (!linked_) {
        // Name the anonymous file beside the target, then rename it over.
        const std::string fd_path = "/proc/self/fd/" + std::to_string(fd_);
        for (int attempt = 0;; ++attempt) {
            temporary_ = temporary_name(folder_of(resolved_));
            if (::linkat(AT_FDCWD, fd_path.c_str(), AT_FDCWD, temporary_.c_str(),
                         AT_SYMLINK_FOLLOW) == 0 ||
                ::linkat(fd_, "", AT_FDCWD, temporary_.c_str(), AT_EMPTY_PATH) == 0) {
                linked_ = true;
                list_temporary_file(temporary_.c_str());
                break;
            }
            if (errno != EEXIST || attempt == 100) {
                return failure("create a file beside", resolved_, errno);
            }
        }
    }
    const int closed = ::close(std::exchange(fd_, -1));
    if (closed != 0) {
        return failure("write", resolved_, errno);
    }
    if (std::rename(temporary_.c_str(), resolved_.c_str()) != 0) {
        return failure("replace", resolved_, errno);
    }
    unlist_temporary_file(temporary_.c_str());
    linked_ = false;
    return std::nullopt;
}

std::string resolve_output_path(const std::string& path) {
    const fs::path followed = fs::absolute(follow_links(path));
    std::error_code error;
    const fs::path folder = fs::weakly_canonical(followed.parent_path(), error);
    return ((error ? followed.parent_path() : folder) / followed.filename()).string();
}

bool same_output_file(const std::string& a, const std::string& b) {
    struct stat status_a {};
    struct stat status_b {};
    const bool has_a =
        a == "-" ? ::fstat(STDOUT_FILENO, &status_a) == 0 : ::stat(a.c_str(), &status_a) == 0;
    const bool has_b =
        b == "-" ? ::fstat(STDOUT_FILENO, &status_b) == 0 : ::stat(b.c_str(), &status_b) == 0;
    if (has_a && has_b) {
        return same_inode(status_a, status_b);
    }
    if (a == "-" || b == "-") {
        return a == b;
    }
    return !has_a && !has_b && resolve_output_path(a) == resolve_output_path(b);
}

}  // namespace pellimor
