#include "driver/command_line.hpp"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace pellimor {
namespace {

Options parse(std::initializer_list<std::string_view> args) {
    const std::vector<std::string_view> list(args);
    return parse_command_line(list);
}

// The message of the UsageError that parsing `args` throws.
std::string usage_error(const std::vector<std::string_view>& args) {
    try {
        parse_command_line(args);
    } catch (const UsageError& error) {
        return error.what();
    }
    return "(no error)";
}

std::string usage_error(std::initializer_list<std::string_view> args) {
    return usage_error(std::vector<std::string_view>(args));
}

TEST(ParseCommandLine, ThreePositionalNumbers) {
    const Options o = parse({"6", "20000", "1000"});
    EXPECT_EQ(o.n_vars, 6);
    EXPECT_EQ(o.n_its, 20000);
    EXPECT_EQ(o.n_samples, 1000);
    EXPECT_FALSE(o.seed);
    EXPECT_FALSE(o.threads);
    EXPECT_FALSE(o.full_check);
}

TEST(ParseCommandLine, OptionsMayStandAnywhere) {
    const Options o =
        parse({"--seed", "18446744073709551615", "6", "--full-check", "0", "--threads=3", "0"});
    EXPECT_EQ(*o.seed, 18446744073709551615ULL);
    EXPECT_TRUE(o.full_check);
    EXPECT_EQ(*o.threads, 3);
    EXPECT_EQ(o.n_vars, 6);
    EXPECT_EQ(o.n_its, 0);
    EXPECT_EQ(o.n_samples, 0);
    EXPECT_EQ(*parse({"--seed=0", "1", "2", "3"}).seed, 0u);
}

TEST(ParseCommandLine, WrongArgumentCountIsAUsageError) {
    EXPECT_EQ(usage_error({}), "expected 3 arguments n_vars n_its n_samples, got 0");
    EXPECT_EQ(usage_error({"1", "2"}), "expected 3 arguments n_vars n_its n_samples, got 2");
    EXPECT_EQ(usage_error({"1", "2", "3", "4"}),
              "expected 3 arguments n_vars n_its n_samples, got 4");
}

TEST(ParseCommandLine, NumbersMustBeWholeAndInRange) {
    EXPECT_EQ(usage_error({"abc", "1", "1"}),
              "n_vars must be a whole number from 1 to 2147483647, got 'abc'");
    EXPECT_EQ(usage_error({"0", "1", "1"}),
              "n_vars must be a whole number from 1 to 2147483647, got '0'");
    EXPECT_EQ(usage_error({"6", "12x", "1"}),
              "n_its must be a whole number from 0 to 2147483647, got '12x'");
    EXPECT_EQ(usage_error({"6", "", "1"}),
              "n_its must be a whole number from 0 to 2147483647, got ''");
    EXPECT_EQ(usage_error({"6", "1", "-1"}),
              "n_samples must be a whole number from 0 to 2147483647, got '-1'");
    EXPECT_EQ(usage_error({"6", "2147483648", "1"}),
              "n_its must be a whole number from 0 to 2147483647, got '2147483648'");
    EXPECT_EQ(usage_error({"6", " 5", "1"}),
              "n_its must be a whole number from 0 to 2147483647, got ' 5'");
    EXPECT_EQ(usage_error({"6", "+5", "1"}),
              "n_its must be a whole number from 0 to 2147483647, got '+5'");
    EXPECT_EQ(parse({"2147483647", "0", "0"}).n_vars, 2147483647);
    // Modes with limits of their own name them, also below the range.
    for (const std::string_view n_vars : {"0", "10001"}) {
        EXPECT_EQ(usage_error({"--count", n_vars}),
                  "n_vars must be a whole number from 1 to 10000 with --count, got '" +
                      std::string(n_vars) + "'");
        EXPECT_EQ(usage_error({"--exact", n_vars, "5"}),
                  "n_vars must be a whole number from 1 to 10000 with --exact, got '" +
                      std::string(n_vars) + "'");
    }
    EXPECT_EQ(usage_error({"--count", "--edges", "0"}),
              "n_vars must be a whole number from 1 to 128 with --count --edges, got '0'");
}

// --count draws no samples, so no option of the sampling modes applies.
TEST(ParseCommandLine, CountTakesNoSamplingOption) {
    for (const std::vector<std::string_view>& option :
         std::vector<std::vector<std::string_view>>{{"--exact"},
                                                    {"--full-check"},
                                                    {"--start", "exact"},
                                                    {"--seed", "1"},
                                                    {"--threads", "2"},
                                                    {"--summary"},
                                                    {"--results", "r.txt"},
                                                    {"--no-results"},
                                                    {"--strict"},
                                                    {"--samples", "s.jsonl"},
                                                    {"--stats"},
                                                    {"--force"},
                                                    {"--max-edges", "3"}}) {
        std::vector<std::string_view> args{"--count"};
        args.insert(args.end(), option.begin(), option.end());
        args.push_back("5");
        EXPECT_EQ(usage_error(args),
                  std::string(option[0]) + " applies to runs that draw samples, not to --count");
    }
}

TEST(ParseCommandLine, OptionValuesAreChecked) {
    EXPECT_EQ(usage_error({"--seed", "-1", "6", "1", "1"}),
              "--seed must be a whole number from 0 to 18446744073709551615, got '-1'");
    EXPECT_EQ(usage_error({"--seed=18446744073709551616", "6", "1", "1"}),
              "--seed must be a whole number from 0 to 18446744073709551615, got "
              "'18446744073709551616'");
    EXPECT_EQ(usage_error({"6", "1", "1", "--seed"}), "--seed needs a value");
    EXPECT_EQ(usage_error({"--threads", "0", "6", "1", "1"}),
              "--threads must be a whole number from 1 to 1024, got '0'");
    EXPECT_EQ(usage_error({"--threads=two", "6", "1", "1"}),
              "--threads must be a whole number from 1 to 1024, got 'two'");
    EXPECT_EQ(usage_error({"--fast", "6", "1", "1"}), "unknown option '--fast' (see --help)");
    EXPECT_EQ(usage_error({"--full-check=yes", "6", "1", "1"}),
              "--full-check takes no value, got '--full-check=yes'");
}

TEST(ParseCommandLine, DoubleDashEndsTheOptions) {
    const Options o = parse({"--seed", "4", "--", "6", "0", "0"});
    EXPECT_EQ(*o.seed, 4u);
    EXPECT_EQ(o.n_vars, 6);
    EXPECT_EQ(usage_error({"--", "--seed", "4", "6", "1"}),
              "expected 3 arguments n_vars n_its n_samples, got 4");
    EXPECT_EQ(usage_error({"6", "--", "--help", "1"}),
              "n_its must be a whole number from 0 to 2147483647, got '--help'");
}

TEST(ParseCommandLine, EachOptionAtMostOnce) {
    EXPECT_EQ(usage_error({"--seed", "1", "--seed", "1", "6", "1", "1"}),
              "--seed given more than once");
    EXPECT_EQ(usage_error({"--threads=2", "6", "1", "1", "--threads", "3"}),
              "--threads given more than once");
    EXPECT_EQ(usage_error({"--full-check", "--full-check", "6", "1", "1"}),
              "--full-check given more than once");
    EXPECT_EQ(usage_error({"--help", "-h"}), "--help given more than once");
}

// Scientific notation where it is an exact whole number, worked out on the
// digits (so that the largest seed stays exact).
TEST(ParseCommandLine, ScientificNotationForExactWholeNumbers) {
    const Options o = parse({"--seed", "1.8446744073709551615e19", "1e1", "2.5e3", "1E+06"});
    EXPECT_EQ(*o.seed, 18446744073709551615ULL);
    EXPECT_EQ(o.n_vars, 10);
    EXPECT_EQ(o.n_its, 2500);
    EXPECT_EQ(o.n_samples, 1000000);
    EXPECT_EQ(parse({"6", "1000e-3", "0"}).n_its, 1);
    for (const std::string_view bad :
         {"1.5e0", "1e-3", "1e10", "e5", ".e5", "1e", "1e+", "1.2.3e4"}) {
        EXPECT_NE(usage_error({"6", bad, "1"}).find("n_its must be"), std::string::npos) << bad;
    }
    EXPECT_NE(usage_error({"--seed", "1e20", "6", "1", "1"}).find("--seed must be"),
              std::string::npos);
}

// "-s 1" is an unknown option, not a wrong count of arguments; a near miss
// of a long option gets its likely meaning.
TEST(ParseCommandLine, UnknownOptionsAndNearMisses) {
    EXPECT_EQ(usage_error({"-s", "1", "6", "10", "10"}), "unknown option '-s' (see --help)");
    EXPECT_EQ(usage_error({"--sed", "1", "6", "10", "10"}),
              "unknown option '--sed' (did you mean --seed? see --help)");
    EXPECT_EQ(usage_error({"-threads=2", "6", "10", "10"}),
              "unknown option '-threads=2' (did you mean --threads? see --help)");
    EXPECT_EQ(usage_error({"--no-result", "6", "10", "10"}),
              "unknown option '--no-result' (did you mean --no-results? see --help)");
    EXPECT_EQ(usage_error({"--bogus", "6", "10", "10"}), "unknown option '--bogus' (see --help)");
    // Every option the help lists is known to "did you mean".
    const std::string help = help_text();
    for (std::size_t at = help.find(" --"); at != std::string::npos;
         at = help.find(" --", at + 1)) {
        const std::size_t end = help.find_first_of(" ,=\n'`)", at + 1);
        const std::string option = help.substr(at + 1, end - at - 1);
        if (option.size() > 2) {
            const std::string typo = option + "x";
            EXPECT_EQ(usage_error({typo}),
                      "unknown option '" + typo + "' (did you mean " + option + "? see --help)");
        }
    }
    EXPECT_NE(usage_error({"6", "-1", "10"}).find("n_its must be"), std::string::npos);
}

TEST(ParseCommandLine, HelpNeedsNoArguments) {
    EXPECT_TRUE(parse({"--help"}).help);
    EXPECT_TRUE(parse({"-h"}).help);
    EXPECT_TRUE(parse({"1", "--help"}).help);
    EXPECT_NE(help_text().find("--seed"), std::string::npos);
    EXPECT_EQ(help_text().rfind(usage_line, 0), 0u);
}

}  // namespace
}  // namespace pellimor

namespace pellimor {
namespace {

TEST(ParseCommandLine, EdgeBounds) {
    EXPECT_EQ(parse({"--exact", "--edges", "40", "20", "100"}).edge_bound, EdgeBound::exactly(40));
    // round(D n / 2): 2.5 * 21 / 2 = 26.25.
    EXPECT_EQ(parse({"--exact", "--mean-degree=2.5", "21", "100"}).edge_bound,
              EdgeBound::exactly(26));
    EXPECT_EQ(parse({"--exact", "--mean-degree", "19", "20", "100"}).edge_bound,
              EdgeBound::exactly(190));
    const Options walk = parse({"--max-edges", "0", "--start", "exact", "--force", "5", "1", "1"});
    EXPECT_EQ(walk.edge_bound, EdgeBound::at_most(0));
    EXPECT_TRUE(walk.force);
    EXPECT_FALSE(parse({"5", "1", "1"}).edge_bound.bounded());
    EXPECT_EQ(parse({"--exact", "--edges", "4", "20", "1"}).sparse_method, SparseMethod::AUTO);
    EXPECT_EQ(
        parse({"--exact", "--edges", "4", "--sparse-method=layered", "20", "1"}).sparse_method,
        SparseMethod::LAYERED);
    EXPECT_EQ(parse({"--exact", "--edges", "4", "--sparse-method", "dag", "20", "1"}).sparse_method,
              SparseMethod::DAG);
}

TEST(ParseCommandLine, EdgeBoundErrors) {
    const std::vector<std::pair<std::vector<std::string_view>, std::string>> cases{
        {{"--exact", "--edges", "191", "20", "1"},
         "--edges must be a whole number from 0 to 190 (the pairs of 20 vertices), got '191'"},
        {{"--exact", "--edges", "-1", "20", "1"}, "--edges must be a whole number from 0 to 190"},
        {{"--exact", "--mean-degree", "20", "20", "1"},
         "--mean-degree must be a number from 0 to n_vars - 1 = 19, got '20'"},
        {{"--exact", "--mean-degree", "nan", "20", "1"}, "--mean-degree must be a number"},
        {{"--exact", "--edges", "4", "--mean-degree", "2", "20", "1"},
         "--edges and --mean-degree exclude each other"},
        {{"--exact", "--edges", "4", "--sparse-method", "dag", "501", "1"},
         "--sparse-method dag goes up to n_vars = 500, got '501'"},
        {{"--exact", "--edges", "4", "2001", "1"},
         "the layered method draws classes on 2 to 2000 vertices with exactly E edges"},
        {{"--exact", "--edges", "0", "--sparse-method", "layered", "20", "1"},
         "the layered method draws classes on 2 to 2000 vertices"},
        {{"--exact", "--edges", "4", "--sparse-method", "auto", "20", "1"},
         "--sparse-method must be 'dag' or 'layered', got 'auto'"},
        {{"--exact", "--sparse-method", "dag", "20", "1"},
         "--sparse-method applies to --edges and --mean-degree only"},
        {{"--dags", "--edges", "4", "--sparse-method", "layered", "20", "1"},
         "--sparse-method applies to --exact: --dags draws from all DAGs with E edges"},
        {{"--dags", "--edges", "4", "501", "1"}, "--dags with E edges goes up to n_vars = 500"},
        {{"--dags", "--exact", "20", "1"}, "--exact and --dags exclude each other"},
        {{"--dags", "--edges", "4", "--force", "20", "1"},
         "--force applies to --exact: --dags keeps every DAG"},
        {{"--max-edges", "4", "--sparse-method", "dag", "20", "1", "1"},
         "--sparse-method applies to --exact with --edges or --mean-degree"},
        {{"--exact", "--max-edges", "4", "20", "1"}, "--max-edges applies to the walk"},
        {{"--edges", "4", "20", "1", "1"}, "--edges applies to --exact"},
        {{"--count", "--mean-degree", "2", "20"},
         "--mean-degree applies to runs that draw samples"},
        {{"--exact", "--force", "20", "1"}, "--force applies to"},
        {{"--max-edges", "4", "--force", "20", "1", "1"}, "--force applies to"},
        {{"--max-edges", "4", "--start", "exact", "501", "1", "1"},
         "--start exact with --max-edges goes up to n_vars = 500"},
    };
    for (const auto& [args, message] : cases) {
        try {
            parse_command_line(args);
            ADD_FAILURE() << "no error for " << message;
        } catch (const UsageError& error) {
            EXPECT_TRUE(std::string(error.what()).starts_with(message)) << error.what();
        }
    }
}

}  // namespace
}  // namespace pellimor
