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

std::uint64_t MpiSession::broadcast(std::uint64_t value) const {
    static_assert(sizeof(unsigned long long) == sizeof(std::uint64_t));
    unsigned long long sent = value;
    if (MPI_Bcast(&sent, 1, MPI_UNSIGNED_LONG_LONG, 0, MPI_COMM_WORLD) != MPI_SUCCESS) {
        throw std::runtime_error("rank 0 could not reach the other ranks");
    }
    return sent;
}

std::vector<std::string> MpiSession::gather_at_rank_0(const std::string& bytes) const {
    const int length = static_cast<int>(bytes.size());
    std::vector<int> lengths(rank_ == 0 ? static_cast<std::size_t>(size_) : 0);
    if (MPI_Gather(&length, 1, MPI_INT, lengths.data(), 1, MPI_INT, 0, MPI_COMM_WORLD) !=
        MPI_SUCCESS) {
        throw std::runtime_error("the ranks could not reach rank 0");
    }
    std::vector<int> offsets(lengths.size());
    std::string all;
    if (rank_ == 0) {
        for (std::size_t r = 0; r < lengths.size(); ++r) {
            offsets[r] = static_cast<int>(all.size());
            all.resize(all.size() + static_cast<std::size_t>(lengths[r]));
        }
    }
    if (MPI_Gatherv(bytes.data(), length, MPI_BYTE, all.data(), lengths.data(), offsets.data(),
                    MPI_BYTE, 0, MPI_COMM_WORLD) != MPI_SUCCESS) {
        throw std::runtime_error("the ranks could not reach rank 0");
    }
    std::vector<std::string> gathered;
    for (std::size_t r = 0; r < lengths.size(); ++r) {
        gathered.push_back(
            all.substr(static_cast<std::size_t>(offsets[r]), static_cast<std::size_t>(lengths[r])));
    }
    return gathered;
}

void MpiSession::abort(int status) const {
    MPI_Abort(MPI_COMM_WORLD, status);
    std::_Exit(status);
}

}  // namespace pellimor
