// The end of a run: summary text, JSON document and its file, as the driver
// gets them from end_run.

#include "stats/summary.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "sampler/sample_run.hpp"
#include "stats/json_file.hpp"
#include "stats/run_ending.hpp"
#include "stats/summary_json.hpp"

namespace pellimor {
namespace {

namespace fs = std::filesystem;

fs::path fresh_folder(const char* name) {
    const fs::path folder =
        fs::temp_directory_path() / (std::string(name) + "_" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

RunStatistics walk_samples(int count) {
    RunStatistics s;
    for (int i = 1; i <= count; ++i) {
        s.add(run_sample(Settings{4, 400, false}, 9, static_cast<std::uint64_t>(i)));
    }
    return s;
}

TEST(RunEnding, WalkWritesSummaryAndJsonWithEveryKey) {
    const fs::path folder = fresh_folder("pellimor_summary_test");
    const std::string path = (folder / "run.json").string();
    const RunInfo info{METHOD_WALK, "empty", 4, 400, 250, 9, 2, 1.5, false};
    const RunStatistics samples = walk_samples(250);
    const RunEnding ending = end_run(info, samples, nullptr, {true, path});
    ASSERT_FALSE(ending.json_error) << *ending.json_error;
    EXPECT_NE(ending.summary.find("250 of 250 (stopped early)"), std::string::npos)
        << ending.summary;
    EXPECT_NE(ending.summary.find("essential graphs"), std::string::npos);
    EXPECT_NE(ending.summary.find("exact 185"), std::string::npos) << ending.summary;

    std::ifstream in(path);
    const nlohmann::json j = nlohmann::json::parse(in);
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
    EXPECT_LT(graphs["low"].get<double>(), graphs["estimate"].get<double>());
    EXPECT_LT(graphs["estimate"].get<double>(), graphs["high"].get<double>());
    for (const char* key : {"classes_per_dag", "dags_per_class"}) {
        EXPECT_TRUE(j["counts"][key]["log10_estimate"].is_number()) << key;
    }
    // Only the document is left in the folder: no temporary file.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator{}), 1);
    fs::remove_all(folder);
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
    const RunInfo info{METHOD_EXACT, "empty", 20, 0, 2, 1, 1, 0.1, true};
    const nlohmann::json j = summary_json(info, samples, std::nullopt);
    EXPECT_EQ(j["method"], "exact");
    EXPECT_TRUE(j["n_its"].is_null());
    EXPECT_TRUE(j["move_rates"].is_null());
    EXPECT_EQ(j["mixing_check"]["skipped"], true);
    EXPECT_EQ(j["weighted_shares"]["dags_drawn"], 3.0);
    EXPECT_DOUBLE_EQ(j["weighted_shares"]["no_lines"]["estimate"].get<double>(), 0.5 / 0.75);
    EXPECT_TRUE(j["counts"]["essential_graphs"]["exact"].is_null());
    EXPECT_TRUE(j["counts"]["essential_graphs"]["z"].is_null());
    EXPECT_TRUE(end_run(info, samples, nullptr, {}).summary.empty());
}

TEST(JsonFile, FailureNamesTheFileAndLeavesNothing) {
    const fs::path folder = fresh_folder("pellimor_json_file_test");
    const std::string path = (folder / "missing" / "run.json").string();
    const std::optional<std::string> error = write_json_atomically(path, {{"a", 1}});
    ASSERT_TRUE(error);
    EXPECT_NE(error->find(path), std::string::npos) << *error;
    EXPECT_TRUE(fs::is_empty(folder));
    fs::remove_all(folder);
}

}  // namespace
}  // namespace pellimor
