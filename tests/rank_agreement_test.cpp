#include "driver/rank_agreement.hpp"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string_view>
#include <vector>

#include "driver/canonical_arguments.hpp"
#include "driver/command_line.hpp"

namespace pellimor {
namespace {

Options parse(const std::vector<std::string_view>& args) {
    return parse_command_line(args);
}

Options parse_strings(const std::vector<std::string>& args) {
    return parse(std::vector<std::string_view>(args.begin(), args.end()));
}

// The canonical arguments parse back to the very same options, for every
// option (a field written wrongly or left out shows here), and command lines
// that differ only in order and spelling have the same canonical arguments.
TEST(CanonicalArguments, ParseBackToTheSameOptions) {
    const std::vector<std::vector<std::string_view>> lines = {
        {"6", "20000", "1000"},
        {"--seed", "18446744073709551615", "--threads=3", "--full-check", "1", "0", "0"},
        {"--start", "exact", "--summary", "--json", "o ut's.json", "9", "10", "20"},
        {"--exact", "--seed=0", "--json=--summary", "--strict", "--no-results", "10000", "5"},
        {"--results", "r.txt", "--json", "-", "5", "0", "1"},
        {"--count", "--edges", "--json", "c.json", "12"},
        {"--help", "--seed", "3"},
        {"--version"},
        {"--exact", "--mean-degree", "2.5", "--force", "20", "5"},
        {"--exact", "--edges", "30", "--sparse-method", "layered", "60", "5"},
        {"--max-edges", "12", "--start", "exact", "--force", "12", "100", "5"},
    };
    for (const auto& line : lines) {
        const Options options = parse(line);
        EXPECT_EQ(parse_strings(canonical_arguments(options)), options)
            << arguments_text(canonical_arguments(options));
    }
    EXPECT_EQ(canonical_arguments(parse({"--summary", "6", "--seed", "1", "20", "--", "30"})),
              canonical_arguments(parse({"--seed=1", "6", "20", "30", "--summary"})));
    EXPECT_EQ(arguments_text({"--json=o ut's.json", "6"}), "'--json=o ut'\\''s.json' 6");
}

RankCheck ready(std::vector<std::string> settings = {"--seed=1", "6", "20", "30"}) {
    return RankCheck{0, "", std::move(settings)};
}

TEST(JudgeRanks, WorstFindingDecidesAndNamesTheOtherRanks) {
    const RankCheck usage{2, "n_vars must be ...", {}};
    const RankCheck short_of_memory{1, "not enough memory", ready().settings};
    struct Case {
        std::vector<RankCheck> ranks;
        int status;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {{ready(), ready(), ready()}, 0, {}},
        // A usage error comes before a rank that cannot run.
        {{ready(), short_of_memory, usage}, 2, {"rank 2: n_vars must be ..."}},
        // Rank 0 prints its own message; the same from others is not repeated.
        {{usage, usage, RankCheck{2, "other", {}}}, 2, {"rank 2: other"}},
        {{ready(), short_of_memory, short_of_memory}, 1, {"ranks 1, 2: not enough memory"}},
        {{short_of_memory, short_of_memory, ready()}, 1, {}},
        {{ready(), ready(), ready({"--seed=1", "6", "20", "31"}), short_of_memory},
         2,
         {"rank 2 was started as 'pellimor --seed=1 6 20 31', but rank 0 as "
          "'pellimor --seed=1 6 20 30'",
          "every rank must be started with the same arguments (only --threads may differ); "
          "nothing was run"}},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Verdict verdict = judge_ranks(cases[i].ranks);
        EXPECT_EQ(verdict.status, cases[i].status) << "case " << i;
        EXPECT_EQ(verdict.lines, cases[i].lines) << "case " << i;
    }
}

TEST(RankCheck, TravelsAsBytesUnchanged) {
    for (const RankCheck& check : {RankCheck{2, "bad\nline", {}}, RankCheck{0, "", {"--exact", ""}},
                                   RankCheck{1, "short", {"6", "20", "30"}}}) {
        const auto back = decode_check(encode_check(check));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->status, check.status);
        EXPECT_EQ(back->message, check.message);
        EXPECT_EQ(back->settings, check.settings);
    }
    EXPECT_FALSE(decode_check(std::string_view("1\0abc", 5)));
    EXPECT_FALSE(decode_check("x"));
}

}  // namespace
}  // namespace pellimor
