#pragma once

// A file the user named for an output (--json FILE and the like), checked
// before the run starts and written without ever destroying what is there:
// - "-" is standard output; so is a path that names standard output's own
//   file (/dev/stdout, or the file standard output was redirected to);
// - a path that exists and is not a regular file (a FIFO, a character
//   device such as /dev/null or /dev/full, a socket) is written directly,
//   never replaced; it is opened when first written, so a FIFO's reader is
//   not waited for before the run;
// - a regular file, or a name not yet taken, is replaced whole: the text goes
//   to an anonymous temporary file in the same folder, which only commit()
//   renames over it. A symlink is followed: the file it points to is
//   replaced and the link stays. Until commit() nothing is visible, and a
//   process that dies, whatever the signal, leaves no temporary file.
// Writes to standard output and direct targets are real writes, so a full
// device or a closed pipe is an error.

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace pellimor {

class OutputTarget {
  public:
    enum class Kind { STANDARD_OUTPUT, DIRECT, REPLACE };

    // Checks `path` and, for a file to be replaced, creates its temporary
    // file, so that a folder that is missing or not writable is found now.
    // Returns the target, or why it cannot be written ("cannot create
    // 'nodir/x.json': No such file or directory").
    static std::variant<OutputTarget, std::string> open(const std::string& path);

    OutputTarget(OutputTarget&& other) noexcept;
    OutputTarget& operator=(OutputTarget&& other) noexcept;
    OutputTarget(const OutputTarget&) = delete;
    OutputTarget& operator=(const OutputTarget&) = delete;
    // Drops an uncommitted replacement: the target stays as it was.
    ~OutputTarget();

    Kind kind() const { return kind_; }
    // The path as given.
    const std::string& path() const { return path_; }
    // The file written: for a replaced file the end of its symlinks.
    const std::string& resolved() const { return resolved_; }

    // Appends `text`. Returns the reason when it could not be written whole
    // (a stop signal cuts a blocked write short).
    std::optional<std::string> write(std::string_view text);

    // Makes the text final: a replaced file is flushed to disk and renamed
    // over the target; other kinds have nothing left to do. Returns the
    // reason when that failed; the target then stays as it was.
    std::optional<std::string> commit();

  private:
    OutputTarget() = default;
    void discard();

    Kind kind_ = Kind::STANDARD_OUTPUT;
    std::string path_;
    std::string resolved_;
    int fd_ = -1;                 // the temporary file, or the direct target once opened
    bool linked_ = false;         // the temporary file has a name (no O_TMPFILE here)
    std::string temporary_;       // that name
    std::optional<mode_t> mode_;  // the mode of the file being replaced
};

// The file `path` names once its symlinks are followed, as an absolute path
// with a canonical folder; for comparing targets that may not exist yet.
std::string resolve_output_path(const std::string& path);

// True when `a` and `b` name the same file: the same inode when both exist,
// else the same resolved path. "-" names standard output.
bool same_output_file(const std::string& a, const std::string& b);

}  // namespace pellimor
