#include "driver/memory_budget.hpp"

#include <sys/resource.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

namespace pellimor {

namespace {

constexpr double gib = 1024.0 * 1024.0 * 1024.0;

std::optional<std::string> read_text(const std::filesystem::path& path) {
    std::ifstream in(path);
    if (!in) {
        return std::nullopt;
    }
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The whole number that `text` starts with, after blanks.
std::optional<double> leading_number(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    unsigned long long value = 0;
    const auto [rest, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || rest == text.data()) {
        return std::nullopt;
    }
    return static_cast<double>(value);
}

// The value of "name:" in a "name: value kB" listing, in bytes.
std::optional<double> kilobyte_field(std::string_view listing, std::string_view name) {
    for (std::size_t at = 0; at < listing.size();) {
        const auto end = std::min(listing.find('\n', at), listing.size());
        const std::string_view line = listing.substr(at, end - at);
        if (line.size() > name.size() && line.starts_with(name) && line[name.size()] == ':') {
            const auto kb = leading_number(line.substr(name.size() + 1));
            return kb ? std::optional<double>(*kb * 1024) : std::nullopt;
        }
        at = end + 1;
    }
    return std::nullopt;
}

std::string size_text(double bytes) {
    char text[32];
    std::snprintf(text, sizeof text, bytes >= gib ? "%.1f" : "%.2f", bytes / gib);
    return text;
}

#ifndef PELLIMOR_SANITIZE
// The room under RLIMIT_AS: the limit less the address space in use.
std::optional<MemoryLimit> address_space_limit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return std::nullopt;
    }
    const auto status = read_text("/proc/self/status");
    const auto in_use = status ? kilobyte_field(*status, "VmSize") : std::nullopt;
    if (!in_use) {
        return std::nullopt;
    }
    // Each worker thread reserves its stack (as large as RLIMIT_STACK, or
    // 8 MiB) and the C library's per-thread heap arena (64 MiB).
    rlimit stack{};
    const double stack_bytes =
        getrlimit(RLIMIT_STACK, &stack) == 0 && stack.rlim_cur != RLIM_INFINITY
            ? static_cast<double>(stack.rlim_cur)
            : 8.0 * 1024 * 1024;
    return MemoryLimit{"under the address-space limit (ulimit -v)",
                       static_cast<double>(limit.rlim_cur) - *in_use,
                       stack_bytes + 64.0 * 1024 * 1024};
}
#endif

// memory.max less memory.current in the cgroup of this process and in each
// one above it.
void add_cgroup_limits(std::vector<MemoryLimit>& limits) {
    const auto self = read_text("/proc/self/cgroup");
    const auto path = self ? cgroup_v2_path(*self) : std::nullopt;
    if (!path) {
        return;
    }
    const std::filesystem::path root = "/sys/fs/cgroup";
    std::filesystem::path relative = std::filesystem::path(*path).relative_path();
    for (;;) {
        const std::filesystem::path dir = root / relative;
        const auto max = read_text(dir / "memory.max");
        const auto current = read_text(dir / "memory.current");
        const auto max_bytes = max ? leading_number(*max) : std::nullopt;  // none for "max"
        const auto current_bytes = current ? leading_number(*current) : std::nullopt;
        if (max_bytes && current_bytes) {
            limits.push_back(MemoryLimit{"under memory.max of cgroup " + dir.string(),
                                         *max_bytes - *current_bytes, 0});
        }
        if (relative.empty()) {
            return;
        }
        relative = relative.parent_path();
    }
}

}  // namespace

std::vector<MemoryLimit> memory_limits() {
    std::vector<MemoryLimit> limits;
    if (const auto meminfo = read_text("/proc/meminfo")) {
        if (const auto available = mem_available(*meminfo)) {
            limits.push_back(MemoryLimit{"by MemAvailable in /proc/meminfo", *available, 0});
        }
    }
#ifndef PELLIMOR_SANITIZE
    if (auto limit = address_space_limit()) {
        limits.push_back(std::move(*limit));
    }
#endif
    add_cgroup_limits(limits);
    return limits;
}

std::optional<Fit> workers_that_fit(const MemoryNeed& need,
                                    const std::vector<MemoryLimit>& limits) {
    std::optional<Fit> fit;
    for (const auto& limit : limits) {
        const double room = limit.room - need.shared;
        double most = std::floor(room / (need.per_worker + limit.per_thread));
        if (most >= need.workers) {
            // Threads beyond the graph holders take only their own share.
            const double rest = room - need.workers * (need.per_worker + limit.per_thread);
            most = limit.per_thread > 0 ? need.workers + std::floor(rest / limit.per_thread)
                                        : double{std::numeric_limits<int>::max()};
        }
        const int workers =
            most < 0 ? -1
                     : static_cast<int>(std::min(most, double{std::numeric_limits<int>::max()}));
        if (!fit || workers < fit->workers) {
            fit = Fit{workers, &limit};
        }
    }
    return fit;
}

std::string not_enough_memory(int n_vars, double per_worker_bytes) {
    return "not enough memory for graphs on n_vars = " + std::to_string(n_vars) +
           " vertices (about " + size_text(per_worker_bytes) +
           " GiB per worker thread); choose a smaller n_vars or fewer --threads";
}

std::optional<std::string> memory_shortage(const RunRequest& run,
                                           const std::vector<MemoryLimit>& limits) {
    const MemoryNeed need = memory_needed(run);
    const auto fit = workers_that_fit(need, limits);
    if (!fit || fit->workers >= need.threads) {
        return std::nullopt;
    }
    std::string records;
    if (need.record > 0) {
        records = "; a --samples record with its graphs takes about " + size_text(need.record) +
                  " GiB of it (--samples-graphs none writes none)";
    }
    return not_enough_memory(run.n_vars, need.per_worker + fit->binding->per_thread) + "; " +
           (fit->workers >= 1 ? "--threads " + std::to_string(fit->workers)
                              : std::string("not even one worker thread")) +
           " fits in the " + size_text(std::max(fit->binding->room, 0.0)) + " GiB free " +
           fit->binding->name + records;
}

std::optional<std::string> bytes_shortage(double bytes, const std::vector<MemoryLimit>& limits) {
    for (const MemoryLimit& limit : limits) {
        if (bytes > limit.room) {
            return "about " + size_text(bytes) + " GiB needed, " +
                   size_text(std::max(limit.room, 0.0)) + " GiB free " + limit.name;
        }
    }
    return std::nullopt;
}

std::optional<double> mem_available(std::string_view meminfo) {
    return kilobyte_field(meminfo, "MemAvailable");
}

std::optional<std::string> cgroup_v2_path(std::string_view self_cgroup) {
    for (std::size_t at = 0; at < self_cgroup.size();) {
        const auto end = std::min(self_cgroup.find('\n', at), self_cgroup.size());
        const std::string_view line = self_cgroup.substr(at, end - at);
        if (line.starts_with("0::/")) {
            return std::string(line.substr(3));
        }
        at = end + 1;
    }
    return std::nullopt;
}

}  // namespace pellimor
