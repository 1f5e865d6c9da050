#pragma once

// The messages ranks exchange during a distributed run, and the few helpers
// both sides use to send and receive them without ever blocking for long.

#include <mpi.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <type_traits>

#include "sampler/sample_run.hpp"

namespace pellimor::cluster {

static_assert(std::is_trivially_copyable_v<SampleResult>,
              "results travel between ranks as plain bytes");

enum MessageTag : int {
    TAG_BATCH = 1,    // rank r -> 0: consecutive results of r's share
    TAG_ACK = 2,      // 0 -> r: one batch of r's was consumed
    TAG_FAILURE = 3,  // r -> 0: r's workers failed; the text says how
    TAG_STOPPED = 4,  // r -> 0: r was asked to stop
    TAG_END = 5,      // 0 -> r: the run is over, with so many results consumed;
                      // stop and say goodbye
    TAG_BYE = 6,      // r -> 0: r sends nothing more
};

// The text of TAG_FAILURE for a rank whose workers ran out of memory.
inline constexpr const char* out_of_memory_text =
    "ran out of memory; choose a smaller n_vars or fewer --threads";

// Results per batch, and batches a rank may have unacknowledged.
inline constexpr int batch_results = 128;
inline constexpr int batches_in_flight = 4;

// A rank sends a partly filled batch once its oldest result is this old, so
// that rank 0 never waits long for a slow rank's results.
inline constexpr std::chrono::milliseconds batch_age_limit{50};

// How long the ends of a run may take before a rank gives up on the others.
inline constexpr std::chrono::seconds end_deadline{3};

// Sends a small control message (eagerly delivered, so this returns at once).
inline void send_control(int tag, int destination, long long value = 0) {
    MPI_Send(&value, 1, MPI_LONG_LONG, destination, tag, MPI_COMM_WORLD);
}

// The value of a control message, as receive_bytes() gave it.
inline long long control_value(const std::string& bytes) {
    long long value = 0;
    std::memcpy(&value, bytes.data(), std::min(bytes.size(), sizeof value));
    return value;
}

// Receives the message MPI_Iprobe announced in `status`, of any size, as bytes.
inline std::string receive_bytes(const MPI_Status& status) {
    int bytes = 0;
    MPI_Get_count(&status, MPI_BYTE, &bytes);
    std::string data(static_cast<std::size_t>(bytes), '\0');
    MPI_Status ignored;
    MPI_Recv(data.data(), bytes, MPI_BYTE, status.MPI_SOURCE, status.MPI_TAG, MPI_COMM_WORLD,
             &ignored);
    return data;
}

// The next message waiting from `source` (MPI_ANY_SOURCE for any), if any.
inline bool message_waiting(int source, MPI_Status& status) {
    int flag = 0;
    MPI_Iprobe(source, MPI_ANY_TAG, MPI_COMM_WORLD, &flag, &status);
    return flag != 0;
}

}  // namespace pellimor::cluster
