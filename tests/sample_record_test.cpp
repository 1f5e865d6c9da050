// A record is built in place: writing one adds about its own text to the
// run's peak memory, not the two or three copies of a string that doubles
// as it grows and is then copied again into the writer's buffer. At
// n_vars = 10000 a record is over half a gigabyte.

#include "sampler/sample_record.hpp"

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <span>
#include <nlohmann/json.hpp>

#include "graph/class_size.hpp"
#include "graph/essential_graph.hpp"
#include "program_runs.hpp"

namespace pellimor {
namespace {

using testing::Finished;

class SampleRecord : public testing::ProgramRuns {};

TEST_F(SampleRecord, AddsAboutItsOwnSizeToThePeakMemory) {
#ifdef PELLIMOR_SANITIZE
    GTEST_SKIP() << "the sanitizers' allocator keeps memory of its own";
#else
    // One class on 2000 vertices: about a million edges, a 22 MB record.
    const std::vector<std::string> run{"--seed",       "1",    "--threads", "1", "--exact",
                                       "--no-results", "2000", "1"};
    std::vector<std::string> with_record = run;
    with_record.insert(with_record.begin(), {"--samples", "s.jsonl"});
    const Finished without = this->run(run);
    const Finished with = this->run(with_record);
    ASSERT_EQ(without.status, 0) << without.err;
    ASSERT_EQ(with.status, 0) << with.err;
    const double record_kb =
        static_cast<double>(std::filesystem::file_size(dir_ / "s.jsonl")) / 1024;
    ASSERT_GT(record_kb, 10000);
    EXPECT_LT(static_cast<double>(with.peak_kb - without.peak_kb), 1.25 * record_kb)
        << with.peak_kb << " KiB against " << without.peak_kb << " KiB without the record";
#endif
}

// Classes past 2^53: chain components that are paths of the first odd
// primes as lengths (each path has as many AMOs as vertices, so the size is
// their odd product, 6.1e17, not a double) and a clique of 30 (30!, past
// 2^64). The record has the whole number, which a JSON reader takes
// exactly; for a walk's record and an exact sample's, with and without
// their graphs.
struct Components {
    const char* name;
    std::vector<int> paths;
    int clique = 0;
};

class ExactClassSize : public ::testing::TestWithParam<Components> {};

TEST_P(ExactClassSize, RecordsHoldTheClassSizeWithAllItsDigits) {
    // The DAG: each path directed along its vertices, the clique in order;
    // its essential graph has these as lines.
    std::vector<std::pair<int, int>> arrows;
    mpz_class size = 1;
    int n = 0;
    for (const int k : GetParam().paths) {
        for (int i = 1; i < k; ++i) {
            arrows.emplace_back(n + i - 1, n + i);
        }
        size *= k;
        n += k;
    }
    for (int v = 0; v < GetParam().clique; ++v) {
        for (int u = 0; u < v; ++u) {
            arrows.emplace_back(n + u, n + v);
        }
        size *= v + 1;
    }
    n += GetParam().clique;
    OrderedDag dag(n);
    EdgeMatrix m(n);
    for (const auto& [u, v] : arrows) {
        set_bit(dag.parents(v), u);
        m[u][v] = m[v][u] = EDGE_LINE;
    }
    EssentialGraph eg(n);
    eg.build(dag);
    SampleResult result;
    result.classes.size = ClassSizeCounter(n).class_size(eg);  // rounded
    result.classes.edges = static_cast<std::int64_t>(arrows.size());  // the binary room
    ASSERT_NE(mpz_class(result.classes.size), size) << "the double would do";
    std::vector<int> label(static_cast<std::size_t>(n));
    for (int v = 0; v < n; ++v) {
        label[static_cast<std::size_t>(v)] = v;
    }
    // Statistics alone as JSON and binary (whose exact samples, without
    // graphs, come without a relabelling), and the graphs too as TSV.
    const RecordLayout json{RecordFormat::JSON_LINES, RecordGraphs::NONE};
    const RecordLayout binary{RecordFormat::BINARY, RecordGraphs::NONE};
    const RecordLayout tsv{RecordFormat::TSV, RecordGraphs::ESSENTIAL_AND_DAG};
    for (const RecordLayout& layout : {json, binary, tsv}) {
        std::string walk;
        std::string exact;
        append_walk_record(walk, layout, 1, result, m);
        append_exact_record(exact, layout, 1, result, dag, eg,
                            layout.graphs == RecordGraphs::NONE ? std::span<const int>() : label);
        // Built by appending: GCC 12 warns (wrongly) on + chains.
        std::string field = layout.format == RecordFormat::JSON_LINES ? "\"class_size\":"
                            : layout.format == RecordFormat::TSV      ? "\t"
                                                                      : "";
        field += size.get_str();
        field += layout.format == RecordFormat::JSON_LINES ? ","
                 : layout.format == RecordFormat::TSV      ? "\t"
                                                           : "";
        for (const std::string& record : {walk, exact}) {
            EXPECT_NE(record.find(field), std::string::npos) << record.substr(0, 300);
            if (layout.format == RecordFormat::JSON_LINES) {
                EXPECT_TRUE(nlohmann::json::accept(record));
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Classes, ExactClassSize,
                         ::testing::Values(Components{"odd_paths",
                                                      {3, 5, 7, 11, 13, 17, 19, 23, 29, 31, 37, 41,
                                                       43, 47}},
                                           Components{"clique_30", {}, 30}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pellimor
