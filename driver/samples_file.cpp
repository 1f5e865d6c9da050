#include "driver/samples_file.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "driver/stop_signals.hpp"

namespace pellimor {

namespace {

// Records are written in pieces of about this size.
constexpr std::size_t flush_size = std::size_t{1} << 20;

}  // namespace

SamplesFile::SamplesFile(OutputTarget target) : target_(std::move(target)) {}

void SamplesFile::fail(const std::string& why) {
    if (failure_) {
        return;
    }
    failure_ = why;
    buffer_.clear();
    // A run that was stopped ends with the stop's status, and says nothing
    // of another.
    std::fprintf(stderr, "pellimor: warning: the samples are not saved: %s%s\n", why.c_str(),
                 stop_signal() != 0 ? ""
                 : streaming()      ? "; the run ends here with status 1"
                                    : "; the run goes on and will end with status 1");
}

void SamplesFile::write(std::string_view record) {
    if (failure_ || finished_) {
        return;
    }
    if (buffer_.empty() && record.size() >= flush_size) {
        write_out(record);  // a large record is not copied
        return;
    }
    buffer_ += record;
    if (buffer_.size() >= flush_size) {
        flush();
    }
}

void SamplesFile::flush() {
    if (failure_ || buffer_.empty()) {
        return;
    }
    write_out(buffer_);
    buffer_.clear();
}

void SamplesFile::write_out(std::string_view records) {
    // Standard output redirected to a regular file is cut back to its size
    // before a write that fails part-way.
    off_t before = -1;
    struct stat status {};
    if (to_standard_output() && ::fstat(STDOUT_FILENO, &status) == 0 && S_ISREG(status.st_mode)) {
        before = ::lseek(STDOUT_FILENO, 0, SEEK_CUR);
    }
    if (auto error = target_.write(records)) {
        if (before >= 0 && ::ftruncate(STDOUT_FILENO, before) != 0) {
            *error += "; part of a record stays, as cutting it off failed";
        }
        fail(*error);
    }
}

std::optional<std::string> SamplesFile::finish() {
    if (finished_) {
        return failure_;
    }
    flush();
    finished_ = true;
    if (!failure_) {
        if (auto error = target_.commit()) {
            fail(*error);
        }
    }
    return failure_;
}

}  // namespace pellimor
