#include "cluster/mpi_session.hpp"

#include <mpi.h>

#include <cstdlib>
#include <stdexcept>

namespace pellimor {

namespace {

const MpiSession* current_session = nullptr;

}  // namespace

MpiSession::MpiSession(int& argc, char**& argv) {
    int provided = 0;
    if (MPI_Init_thread(&argc, &argv, MPI_THREAD_FUNNELED, &provided) != MPI_SUCCESS) {
        throw std::runtime_error("MPI could not be started");
    }
    MPI_Comm_set_errhandler(MPI_COMM_WORLD, MPI_ERRORS_RETURN);
    MPI_Comm_rank(MPI_COMM_WORLD, &rank_);
    MPI_Comm_size(MPI_COMM_WORLD, &size_);
    current_session = this;
}

MpiSession::~MpiSession() {
    current_session = nullptr;
    MPI_Finalize();
}

const MpiSession* MpiSession::current() {
    return current_session;
}

std::uint64_t MpiSession::broadcast_seed(std::uint64_t seed) const {
    static_assert(sizeof(unsigned long long) == sizeof(std::uint64_t));
    unsigned long long value = seed;
    if (MPI_Bcast(&value, 1, MPI_UNSIGNED_LONG_LONG, 0, MPI_COMM_WORLD) != MPI_SUCCESS) {
        throw std::runtime_error("rank 0 could not send the run seed to the other ranks");
    }
    return value;
}

void MpiSession::abort(int status) const {
    MPI_Abort(MPI_COMM_WORLD, status);
    std::_Exit(status);
}

}  // namespace pellimor
