#pragma once

// Memory before allocation: what a run's graphs and tables take (run/
// run_plan.hpp says from the samplers' own figures), against what the
// process can still have, so that a run too large for the machine is
// refused with a clear message before it allocates anything. Linux grants
// far more than it has (overcommit), and a run that takes it is killed by
// the kernel later, without a word, instead of failing an allocation.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "run/run_plan.hpp"

namespace pellimor {

// One bound on the memory the process can still have.
struct MemoryLimit {
    std::string name;       // "by" or "under" what sets it, for the message
    double room = 0;        // bytes still free under it
    double per_thread = 0;  // what a worker thread takes under it besides its graphs
};

// The limits in force: the memory available (MemAvailable in /proc/meminfo),
// the room under the address-space limit (RLIMIT_AS; not in the sanitizer
// build, whose shadow memory reserves terabytes of address space) and under
// each cgroup v2 memory.max above this process. Those that cannot be read
// are left out.
std::vector<MemoryLimit> memory_limits();

// The most worker threads that fit under every limit (-1 when not even the
// shared part does), and the limit that binds; nothing when no limit binds
// at all, that is, when there are no limits. Each thread takes its limit's
// per_thread, and at most need.workers of them also hold graphs.
struct Fit {
    int workers = 0;
    const MemoryLimit* binding = nullptr;
};
std::optional<Fit> workers_that_fit(const MemoryNeed& need, const std::vector<MemoryLimit>& limits);

// The first part of the message for graphs that do not fit: "not enough
// memory for graphs on n_vars = N vertices (about X GiB per worker thread);
// choose a smaller n_vars or fewer --threads".
std::string not_enough_memory(int n_vars, double per_worker_bytes);

// The message, without "pellimor: ", when the run does not fit under the
// limits: not_enough_memory(), then how many --threads would fit, or that
// not even one does. Nothing when it fits.
std::optional<std::string> memory_shortage(const RunRequest& run,
                                           const std::vector<MemoryLimit>& limits);

// "about X GiB needed, Y GiB free by ..." for the first limit that `bytes`
// do not fit under; nothing when they fit under every one.
std::optional<std::string> bytes_shortage(double bytes, const std::vector<MemoryLimit>& limits);

// MemAvailable from the text of /proc/meminfo, in bytes.
std::optional<double> mem_available(std::string_view meminfo);

// The cgroup v2 path (the "0::" line) from the text of /proc/self/cgroup.
std::optional<std::string> cgroup_v2_path(std::string_view self_cgroup);

}  // namespace pellimor
