// The end of a run: summary text and JSON document, as the driver gets them
// from end_run, over one report.

#include "stats/summary.hpp"

#include <gtest/gtest.h>

#include "sampler/sample_run.hpp"
#include "stats/run_ending.hpp"
#include "stats/summary_json.hpp"

namespace pellimor {
namespace {

RunStatistics walk_samples(int count) {
    RunStatistics s;
    for (int i = 1; i <= count; ++i) {
        s.add(run_sample(Settings{4, 400, false}, 9, static_cast<std::uint64_t>(i)));
    }
    return s;
}

TEST(RunEnding, WalkWritesSummaryAndJsonWithEveryKey) {
    const RunInfo info{METHOD_WALK, "empty", 4, 400, 250, 9, 2, 1.5, false, {}, {}};
    const RunStatistics samples = walk_samples(250);
    const RunEnding ending =
        end_run(report_run(info, samples, make_exact_values(4, {})), {true, true});
    EXPECT_NE(ending.summary.find("250 of 250 (stopped early)"), std::string::npos)
        << ending.summary;
    EXPECT_NE(ending.summary.find("essential graphs"), std::string::npos);
    EXPECT_NE(ending.summary.find("exact 185"), std::string::npos) << ending.summary;

    const nlohmann::json j = nlohmann::json::parse(ending.json);
    EXPECT_EQ(j["method"], "walk");
    EXPECT_EQ(j["n_its"], 400);
    EXPECT_EQ(j["samples"], 250);
    EXPECT_EQ(j["complete"], false);
    for (const char* key : {"start", "n_vars", "n_samples", "seed", "threads", "seconds"}) {
        EXPECT_TRUE(j.contains(key)) << key;
    }
    for (const char* share :
         {"no_lines", "connected", "connected_among_no_lines", "no_lines_among_connected"}) {
        for (const char* key : {"count", "of", "estimate", "low", "high"}) {
            EXPECT_TRUE(j["shares"][share].contains(key)) << share << "." << key;
        }
    }
    EXPECT_EQ(j["shares"]["no_lines"]["of"], 250);
    EXPECT_TRUE(j["weighted_shares"].is_null());
    EXPECT_EQ(j["move_rates"].size(), 7u);
    EXPECT_TRUE(j["move_rates"]["remove_vee"]["standard_error"].is_number());
    EXPECT_EQ(j["mixing_check"]["skipped"], false);
    EXPECT_TRUE(j["mixing_check"]["half_walk"]["lines"]["z"].is_number());
    EXPECT_EQ(j["counts"]["dags"], "543");
    EXPECT_EQ(j["counts"]["essential_dags"], "59");
    const auto& graphs = j["counts"]["essential_graphs"];
    EXPECT_EQ(graphs["exact"], "185");
    EXPECT_DOUBLE_EQ(j["counts"]["exact_mean_edges"].get<double>(), 630.0 / 185.0);
    EXPECT_NEAR(j["counts"]["classes_per_dag"]["exact"].get<double>(), 185.0 / 543, 1e-15);
    EXPECT_TRUE(j["shares"]["no_lines"]["exact"].is_number());
    EXPECT_TRUE(j["shares"]["no_lines"]["standard_error"].is_number());
    EXPECT_LT(graphs["low"].get<double>(), graphs["estimate"].get<double>());
    EXPECT_LT(graphs["estimate"].get<double>(), graphs["high"].get<double>());
    for (const char* key : {"classes_per_dag", "dags_per_class"}) {
        EXPECT_TRUE(j["counts"][key]["log10_estimate"].is_number()) << key;
    }
}

TEST(RunEnding, ExactMethodHasWeightedSharesAndNoWalkFields) {
    RunStatistics samples;
    SampleResult r;
    r.dags_drawn = 2;
    r.inverse_size_sum = 0.75;
    r.single_dag_count = 0.5;
    r.connected_weight = 0.25;
    samples.add(r);
    r.dags_drawn = 1;
    samples.add(r);
    const RunInfo info{METHOD_EXACT, "empty", 20, 0, 2, 1, 1, 0.1, true, {}, {}};
    const RunReport report = report_run(info, samples, make_exact_values(20, {}));
    const nlohmann::json j = summary_json(report);
    EXPECT_EQ(j["method"], "exact");
    EXPECT_TRUE(j["n_its"].is_null());
    EXPECT_TRUE(j["move_rates"].is_null());
    EXPECT_EQ(j["mixing_check"]["skipped"], true);
    // Counts are integers, every share has its standard error, and `exact`
    // is a string for an integer and a number for a ratio.
    EXPECT_TRUE(j["weighted_shares"]["dags_drawn"].is_number_integer());
    EXPECT_EQ(j["weighted_shares"]["dags_drawn"], 3);
    EXPECT_TRUE(j["shares"]["connected"]["standard_error"].is_number());
    EXPECT_DOUBLE_EQ(j["weighted_shares"]["no_lines"]["estimate"].get<double>(), 0.5 / 0.75);
    // The exact counts at every n, here EG(20).
    EXPECT_EQ(j["counts"]["essential_graphs"]["exact"],
              "626387745447272107209859230147328236773758251434198858092393347107578604");
    EXPECT_TRUE(j["counts"]["essential_graphs"]["z"].is_number());
    EXPECT_NEAR(j["counts"]["classes_per_dag"]["exact"].get<double>(), 0.267129927740, 1e-12);
    EXPECT_TRUE(end_run(report, {}).summary.empty());
}

}  // namespace
}  // namespace pellimor
