// Uniform DAGs (--dags): every labelled DAG equally often, each with its own
// class, and the estimates over DAGs against their exact values.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "dag_classes.hpp"
#include "run/run.hpp"

namespace pellimor {
namespace {

using testing::all_dags;
using testing::DagClass;
using testing::group_classes;
using testing::SmallDag;

// A DAG on 4 vertices as 16 bits: bit 4 u + v for the arrow u -> v.
std::uint32_t key_of(const SmallDag& dag) {
    std::uint32_t key = 0;
    for (int v = 0; v < dag.n; ++v) {
        for (int u = 0; u < dag.n; ++u) {
            if ((dag.parents[v] >> u & 1) != 0) {
                key |= std::uint32_t{1} << (4 * u + v);
            }
        }
    }
    return key;
}

// Pearson's chi-square over the 543 labelled DAGs on 4 vertices, 40 draws
// expected of each: 542 degrees of freedom, mean 542 and standard deviation
// sqrt(2 * 542) = 32.9, so 4 standard deviations allow up to 674. Each
// record's class size is also the size of its DAG's class found by brute
// force.
TEST(UniformDags, EveryDagOnFourVerticesEquallyOftenWithItsClassSize) {
    const std::vector<SmallDag> dags = all_dags(4);
    ASSERT_EQ(dags.size(), 543u);
    std::map<std::uint32_t, std::int64_t> class_size;
    for (const DagClass& c : group_classes(dags)) {
        for (const int i : c.members) {
            class_size[key_of(dags[i])] = static_cast<std::int64_t>(c.members.size());
        }
    }

    const std::int64_t per_dag = 40;
    RunRequest request;
    request.method = METHOD_DAGS;
    request.n_vars = 4;
    request.n_samples = per_dag * 543;
    request.seed = 23;
    request.threads = 2;
    request.records = RecordLayout{RecordFormat::JSON_LINES, RecordGraphs::ESSENTIAL_AND_DAG};
    const RunOutcome outcome = run(plan_run(request));
    ASSERT_EQ(outcome.records.size(), static_cast<std::size_t>(request.n_samples));

    std::map<std::uint32_t, std::int64_t> seen;
    for (const std::string& record : outcome.records) {
        const nlohmann::json j = nlohmann::json::parse(record);
        SmallDag dag{4, std::vector<std::uint32_t>(4, 0)};
        for (const auto& arrow : j["dag"]) {
            dag.parents[arrow[1].get<int>()] |= std::uint32_t{1} << arrow[0].get<int>();
        }
        const auto size = class_size.find(key_of(dag));
        ASSERT_NE(size, class_size.end()) << record;  // a DAG on 4 vertices
        ASSERT_EQ(j["class_size"].get<double>(), static_cast<double>(size->second)) << record;
        ++seen[size->first];
    }
    double chi_square = 0;
    for (const auto& [key, size] : class_size) {
        const double d = static_cast<double>(seen[key] - per_dag);
        chi_square += d * d / per_dag;
    }
    EXPECT_LT(chi_square, 542 + 4 * std::sqrt(2.0 * 542)) << "chi-square " << chi_square;
}

// At n_vars = 40, 100000 DAGs: the share without lines against e(n) / a(n)
// (0.0733, not a uniform class's 0.274), the mean edges against the exact
// mean over DAGs, and the classes per DAG (the mean of 1/s) against EG(n) /
// a(n), each within 4 standard errors.
TEST(UniformDags, EstimatesOverDagsMatchTheirExactValues) {
    RunRequest request;
    request.method = METHOD_DAGS;
    request.n_vars = 40;
    request.n_samples = 100000;
    request.seed = 7;
    request.threads = 2;
    request.summary = true;
    const RunPlan plan = plan_run(request);
    const RunReport report = report_of(plan, run(plan));
    const RunEstimates& e = report.estimates;
    ASSERT_TRUE(e.no_lines.exact);
    EXPECT_NEAR(*e.no_lines.exact, 0.0732504, 1e-6);  // e(40) / a(40)
    EXPECT_LT(std::abs(e.no_lines.z), 4);
    ASSERT_TRUE(report.classes.edges.exact);
    EXPECT_LT(std::abs(report.classes.edges.z), 4);
    ASSERT_TRUE(e.classes_per_dag.exact);
    EXPECT_LT(std::abs(e.classes_per_dag.z), 4);
    // Over DAGs there is no exact mean class size (it would be a(n) / EG(n)
    // only over classes).
    EXPECT_FALSE(report.classes.size.exact);
}

}  // namespace
}  // namespace pellimor
