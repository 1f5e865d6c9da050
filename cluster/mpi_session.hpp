#pragma once

// The MPI environment of one process: MPI is started when the session is made
// and finished when it ends. Only the thread that made the session calls MPI;
// sample workers never do. Errors on the world communicator are returned to
// the caller instead of aborting the process, so that a failure can be named.

#include <cstdint>
#include <string>
#include <vector>

namespace pellimor {

class MpiSession {
  public:
    // Starts MPI. Throws std::runtime_error when it cannot be started.
    MpiSession(int& argc, char**& argv);
    ~MpiSession();

    MpiSession(const MpiSession&) = delete;
    MpiSession& operator=(const MpiSession&) = delete;

    int rank() const { return rank_; }
    int size() const { return size_; }

    // The session of this process, or nullptr when none was made.
    static const MpiSession* current();

    // Rank 0's `value`, on every rank. Every rank must call it.
    std::uint64_t broadcast(std::uint64_t value) const;

    // On rank 0: every rank's `bytes`, in rank order; elsewhere: nothing.
    // Every rank must call it.
    std::vector<std::string> gather_at_rank_0(const std::string& bytes) const;

    // Ends every process of the run at once with `status` (MPI_Abort); for
    // when an orderly end is impossible.
    [[noreturn]] void abort(int status) const;

  private:
    int rank_ = 0;
    int size_ = 1;
};

}  // namespace pellimor
