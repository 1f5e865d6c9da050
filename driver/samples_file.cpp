#include "driver/samples_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "driver/stop_signals.hpp"

namespace pellimor {

namespace {

constexpr std::size_t flush_size = std::size_t{1} << 20;

std::string reason(const char* what, const std::string& file) {
    return std::string(what) + " '" + file + "': " + std::strerror(errno);
}

std::string not_regular(mode_t mode) {
    return S_ISDIR(mode) ? "is a directory" : "is not a regular file";
}

}  // namespace

SamplesFile::SamplesFile(std::string path) : path_(std::move(path)) {}

SamplesFile::~SamplesFile() {
    if (!temporary_.empty() && !finished_) {
        ::close(fd_);
        ::unlink(temporary_.c_str());
    }
}

std::optional<std::string> SamplesFile::open() {
    struct stat status {};
    if (to_standard_output()) {
        fd_ = STDOUT_FILENO;
        regular_ = ::fstat(fd_, &status) == 0 && S_ISREG(status.st_mode);
        return std::nullopt;
    }
    target_ = path_;
    const bool exists = ::stat(path_.c_str(), &status) == 0;
    if (!exists && errno != ENOENT) {
        return reason("cannot look at", path_);
    }
    if (!exists && ::lstat(path_.c_str(), &status) == 0) {
        return "'" + path_ + "' is a symbolic link to a missing file";
    }
    if (exists && S_ISDIR(status.st_mode)) {
        return "'" + path_ + "' " + not_regular(status.st_mode);
    }
    if (exists && !S_ISREG(status.st_mode)) {
        // O_NONBLOCK: a FIFO without a reader fails at once (ENXIO) instead
        // of waiting for ever; the writes themselves then block as usual.
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd_ < 0) {
            return errno == ENXIO ? "'" + path_ + "' is a FIFO without a reader"
                                  : reason("cannot open", path_);
        }
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
        return std::nullopt;
    }
    if (exists) {
        // Through a symbolic link: the file it names is replaced, not the link.
        char resolved[PATH_MAX];
        if (::realpath(path_.c_str(), resolved) == nullptr) {
            return reason("cannot resolve", path_);
        }
        target_ = resolved;
    }
    std::string pattern = target_ + ".tmp.XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd_ = ::mkstemp(name.data());
    if (fd_ < 0) {
        return reason("cannot create a temporary file beside", target_);
    }
    temporary_ = name.data();
    regular_ = true;
    // mkstemp makes the file private: give it the old file's mode, or the
    // mode a new file gets.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const mode_t mode = exists ? status.st_mode & 07777 : 0666 & ~mask;
    if (::fchmod(fd_, mode) != 0) {
        return reason("cannot set the mode of", temporary_);
    }
    return std::nullopt;
}

void SamplesFile::fail(const std::string& why) {
    if (failure_) {
        return;
    }
    failure_ = why;
    std::fprintf(stderr,
                 "pellimor: warning: cannot write the samples to '%s': %s; no more samples are "
                 "written, the run goes on and will end with status 1\n",
                 path_.c_str(), why.c_str());
    buffer_.clear();
    if (!temporary_.empty()) {
        ::close(fd_);
        ::unlink(temporary_.c_str());
        temporary_.clear();
        fd_ = -1;
    }
}

// Writes text, whole records only. A regular file is written to the end
// whatever signal comes (the write cannot block for long, and a stopped run
// still keeps its finished samples), and cut back to its size before the
// write when it fails part-way. Anything else may block, so a stop ends the
// write there.
bool SamplesFile::write_out(std::string_view text) {
    if (!regular_) {
        const int error = write_all(fd_, text);
        if (error != 0) {
            errno = error;
            fail(std::strerror(error));
            return false;
        }
        return true;
    }
    const off_t before = ::lseek(fd_, 0, SEEK_CUR);
    while (!text.empty()) {
        const ssize_t written = ::write(fd_, text.data(), text.size());
        if (written > 0) {
            text.remove_prefix(static_cast<std::size_t>(written));
            continue;
        }
        if (written < 0 && errno == EINTR) {
            continue;
        }
        std::string why = written == 0 ? std::strerror(EIO) : std::strerror(errno);
        if (temporary_.empty() && before >= 0 && ::ftruncate(fd_, before) != 0) {
            why += "; part of a record stays, as cutting it off failed";
        }
        fail(why);
        return false;
    }
    return true;
}

void SamplesFile::write(std::string_view record) {
    if (failure_ || fd_ < 0) {
        return;
    }
    buffer_ += record;
    if (buffer_.size() >= flush_size) {
        flush();
    }
}

void SamplesFile::flush() {
    if (failure_ || fd_ < 0 || buffer_.empty()) {
        return;
    }
    if (write_out(buffer_)) {
        buffer_.clear();
    }
}

std::optional<std::string> SamplesFile::finish() {
    if (finished_) {
        return failure_;
    }
    flush();
    finished_ = true;
    if (failure_ || temporary_.empty()) {
        return failure_;
    }
    if (::fsync(fd_) != 0) {
        fail(std::strerror(errno));
        return failure_;
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        const std::string why = std::strerror(errno);
        ::unlink(temporary_.c_str());
        temporary_.clear();
        fail(why);
        return failure_;
    }
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        const std::string why = reason("cannot rename the temporary file to", target_);
        ::unlink(temporary_.c_str());
        temporary_.clear();
        fail(why);
    }
    return failure_;
}

}  // namespace pellimor
