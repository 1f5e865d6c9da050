#pragma once

// The agreement that opens every part of a cluster run: each rank checks what
// it can on its own (its command line, its memory), rank 0 gathers what every
// rank found and decides for all of them whether the run goes on. No rank
// starts a sample, or waits for another, on its own: a rank that cannot run
// ends the whole run at once, instead of leaving the others waiting for it.
// In a single process the same steps judge the one rank.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pellimor {

// What one rank found.
struct RankCheck {
    int status = 0;                     // 0 ready, 1 cannot run here, 2 usage error
    std::string message;                // what is wrong, without "pellimor: "
    std::vector<std::string> settings;  // shared_arguments() of its options; none after
                                        // a usage error
};

// Rank 0's decision.
struct Verdict {
    int status = 0;                  // 0: go on; otherwise every rank's exit status
    std::vector<std::string> lines;  // what the other ranks found, for rank 0 to print
                                     // after its own message (without "pellimor: ")
};

// Decides from every rank's check, ranks[0] being rank 0's own. A usage error
// on any rank, or settings other than rank 0's, end every rank with status 2;
// otherwise a rank that cannot run ends every rank with status 1. The lines
// name the other ranks and what they found; rank 0's own message is left to
// the caller, and another rank's message that repeats it is left out.
Verdict judge_ranks(std::span<const RankCheck> ranks);

// A check as bytes for the trip to rank 0, and back.
std::string encode_check(const RankCheck& check);
std::optional<RankCheck> decode_check(std::string_view bytes);

// On every rank of the run (every rank must call it, with its own check):
// rank 0's verdict over all of them; the lines only on rank 0. Without a
// cluster, judge_ranks() of `mine` alone. Throws std::runtime_error when the
// ranks cannot exchange their checks.
Verdict agree_across_ranks(const RankCheck& mine);

// On rank 0 (or the only process), prints what the verdict stopped the run
// for on standard error: this rank's own message when it is of the verdict's
// status, followed by `after_own`, then what the other ranks found.
void print_verdict(const RankCheck& mine, const Verdict& verdict, std::string_view after_own = {});

// True in the process that speaks for the run: rank 0, or the only process.
bool speaks_for_run();

// The processes of the run: the ranks of a cluster run, else 1.
int processes_in_run();

// Rank 0's `seed` on every rank of a cluster run; `seed` itself without one.
std::uint64_t seed_of_rank_0(std::uint64_t seed);

}  // namespace pellimor
