#include "stats/json_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace pellimor {

namespace {

std::string failure(const char* what, const std::string& file) {
    return std::string("cannot ") + what + " '" + file + "': " + std::strerror(errno);
}

bool write_all(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

std::optional<std::string> write_json_atomically(const std::string& path,
                                                 const nlohmann::json& document) {
    // nan and inf are never stored, so dump cannot meet a value JSON lacks;
    // replace invalid UTF-8 rather than throw.
    const std::string text =
        document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    std::string pattern = path + ".tmp.XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        return failure("create a temporary file beside", path);
    }
    const std::string temporary(name.data());
    // mkstemp makes the file private; give it the mode a new file gets.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    std::optional<std::string> error;
    if (::fchmod(fd, 0666 & ~mask) != 0) {
        error = failure("set the mode of", temporary);
    } else if (!write_all(fd, text)) {
        error = failure("write", temporary);
    } else if (::fsync(fd) != 0) {
        error = failure("flush", temporary);
    }
    if (::close(fd) != 0 && !error) {
        error = failure("close", temporary);
    }
    if (!error && std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = failure("rename the temporary file to", path);
    }
    if (error) {
        ::unlink(temporary.c_str());
    }
    return error;
}

}  // namespace pellimor
