#include "driver/rank_agreement.hpp"

#include <charconv>
#include <cstdio>

#include "driver/canonical_arguments.hpp"

#ifdef PELLIMOR_MPI
#include "cluster/mpi_session.hpp"
#endif

namespace pellimor {

namespace {

// "rank 3" or "ranks 1, 2, 5".
std::string rank_list(const std::vector<int>& ranks) {
    std::string text = ranks.size() == 1 ? "rank " : "ranks ";
    for (std::size_t i = 0; i < ranks.size(); ++i) {
        text += (i > 0 ? ", " : "") + std::to_string(ranks[i]);
    }
    return text;
}

// The ranks after 0 grouped by a key of theirs, in order of first rank.
template <typename Key>
std::vector<std::pair<Key, std::vector<int>>> group_ranks(std::span<const RankCheck> ranks,
                                                          Key (*key)(const RankCheck&),
                                                          bool (*include)(const RankCheck& rank,
                                                                          const RankCheck& root)) {
    std::vector<std::pair<Key, std::vector<int>>> groups;
    for (std::size_t r = 1; r < ranks.size(); ++r) {
        if (!include(ranks[r], ranks[0])) {
            continue;
        }
        Key k = key(ranks[r]);
        auto group = groups.begin();
        while (group != groups.end() && group->first != k) {
            ++group;
        }
        if (group == groups.end()) {
            groups.emplace_back(std::move(k), std::vector<int>{});
            group = groups.end() - 1;
        }
        group->second.push_back(static_cast<int>(r));
    }
    return groups;
}

std::string message_of(const RankCheck& check) {
    return check.message;
}

std::vector<std::string> settings_of(const RankCheck& check) {
    return check.settings;
}

// The other ranks' messages of one status, each message once.
template <int status>
void add_messages(std::span<const RankCheck> ranks, Verdict& verdict) {
    const auto groups = group_ranks<std::string>(
        ranks, message_of, [](const RankCheck& rank, const RankCheck& root) {
            return rank.status == status &&
                   !(root.status == status && rank.message == root.message);
        });
    for (const auto& [message, members] : groups) {
        verdict.lines.push_back(rank_list(members) + ": " + message);
    }
}

}  // namespace

Verdict judge_ranks(std::span<const RankCheck> ranks) {
    Verdict verdict;
    if (ranks.empty()) {
        return verdict;
    }
    auto any_with = [&](int status) {
        for (const auto& rank : ranks) {
            if (rank.status == status) {
                return true;
            }
        }
        return false;
    };
    if (any_with(2)) {
        verdict.status = 2;
        add_messages<2>(ranks, verdict);
        return verdict;
    }
    const auto strangers = group_ranks<std::vector<std::string>>(
        ranks, settings_of, [](const RankCheck& rank, const RankCheck& root) {
            return rank.settings != root.settings;
        });
    if (!strangers.empty()) {
        verdict.status = 2;
        const std::string root_text = "'pellimor " + arguments_text(ranks[0].settings) + "'";
        for (const auto& [settings, members] : strangers) {
            verdict.lines.push_back(rank_list(members) + (members.size() == 1 ? " was" : " were") +
                                    " started as 'pellimor " + arguments_text(settings) +
                                    "', but rank 0 as " + root_text);
        }
        verdict.lines.push_back(
            "every rank must be started with the same arguments (only --threads may differ); "
            "nothing was run");
        return verdict;
    }
    if (any_with(1)) {
        verdict.status = 1;
        add_messages<1>(ranks, verdict);
    }
    return verdict;
}

// Fields end in a NUL: no argument, and so no message or setting, holds one.
std::string encode_check(const RankCheck& check) {
    std::string bytes = std::to_string(check.status);
    bytes += '\0';
    bytes += check.message;
    bytes += '\0';
    for (const auto& setting : check.settings) {
        bytes += setting;
        bytes += '\0';
    }
    return bytes;
}

std::optional<RankCheck> decode_check(std::string_view bytes) {
    std::vector<std::string_view> fields;
    while (!bytes.empty()) {
        const auto end = bytes.find('\0');
        if (end == std::string_view::npos) {
            return std::nullopt;
        }
        fields.push_back(bytes.substr(0, end));
        bytes.remove_prefix(end + 1);
    }
    RankCheck check;
    if (fields.size() < 2) {
        return std::nullopt;
    }
    const auto [rest, error] =
        std::from_chars(fields[0].data(), fields[0].data() + fields[0].size(), check.status);
    if (error != std::errc() || rest != fields[0].data() + fields[0].size()) {
        return std::nullopt;
    }
    check.message = fields[1];
    check.settings.assign(fields.begin() + 2, fields.end());
    return check;
}

Verdict agree_across_ranks(const RankCheck& mine) {
#ifdef PELLIMOR_MPI
    if (const MpiSession* cluster = MpiSession::current(); cluster && cluster->size() > 1) {
        const std::vector<std::string> bytes = cluster->gather_at_rank_0(encode_check(mine));
        Verdict verdict;
        if (cluster->rank() == 0) {
            std::vector<RankCheck> checks;
            for (const auto& each : bytes) {
                checks.push_back(decode_check(each).value_or(
                    RankCheck{1, "sent a check rank 0 cannot read", {}}));
            }
            verdict = judge_ranks(checks);
        }
        verdict.status =
            static_cast<int>(cluster->broadcast(static_cast<std::uint64_t>(verdict.status)));
        return verdict;
    }
#endif
    return judge_ranks(std::span(&mine, 1));
}

void print_verdict(const RankCheck& mine, const Verdict& verdict, std::string_view after_own) {
    if (!speaks_for_run() || verdict.status == 0) {
        return;
    }
    if (mine.status == verdict.status) {
        std::fprintf(stderr, "pellimor: %s\n", mine.message.c_str());
        // An empty view may have no data pointer, which fwrite must not get.
        if (!after_own.empty()) {
            std::fwrite(after_own.data(), 1, after_own.size(), stderr);
        }
    }
    for (const auto& line : verdict.lines) {
        std::fprintf(stderr, "pellimor: %s\n", line.c_str());
    }
}

bool speaks_for_run() {
#ifdef PELLIMOR_MPI
    if (const MpiSession* cluster = MpiSession::current()) {
        return cluster->rank() == 0;
    }
#endif
    return true;
}

int processes_in_run() {
#ifdef PELLIMOR_MPI
    if (const MpiSession* cluster = MpiSession::current()) {
        return cluster->size();
    }
#endif
    return 1;
}

std::uint64_t seed_of_rank_0(std::uint64_t seed) {
#ifdef PELLIMOR_MPI
    if (const MpiSession* cluster = MpiSession::current(); cluster && cluster->size() > 1) {
        return cluster->broadcast(seed);
    }
#endif
    return seed;
}

}  // namespace pellimor
