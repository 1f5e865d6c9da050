#include "run/edge_bound_plan.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>

#include "sampler/random.hpp"
#include "sampler/sample_scheduler.hpp"

namespace pellimor {

namespace {

// The pilot's stream: a sample number no run reaches (the mixing reference
// starts at 2^63).
constexpr std::uint64_t pilot_sample = (std::uint64_t{1} << 62) + 1;
constexpr double pilot_seconds = 0.2;
constexpr std::int64_t pilot_enough_dags = 2000;

}  // namespace

EdgeBoundPlan plan_edge_bounded_draws(const SparseSetup& setup, std::int64_t classes, int threads,
                                      std::uint64_t seed, const EdgeBoundExact* exact) {
    using Clock = std::chrono::steady_clock;
    SparseExactSampler sampler(setup);
    auto rng = sample_stream(seed, pilot_sample);
    SparseExactSampler::Pilot total;
    const auto start = Clock::now();
    double seconds = 0;
    while (seconds < pilot_seconds && total.dags < pilot_enough_dags) {
        const SparseExactSampler::Pilot part = sampler.pilot(rng, 200);
        total.proposals += part.proposals;
        total.dags += part.dags;
        total.inverse_size_sum += part.inverse_size_sum;
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
    }
    EdgeBoundPlan plan;
    plan.pilot_dags = total.dags;
    if (exact != nullptr) {
        plan.dags_per_class = 1 / exact->classes_per_dag;
        plan.exact_ratio = true;
    } else if (total.inverse_size_sum > 0) {
        plan.dags_per_class = static_cast<double>(total.dags) / total.inverse_size_sum;
    } else {
        plan.dags_per_class = std::numeric_limits<double>::infinity();
    }
    if (total.dags > 0) {
        plan.proposals_per_dag =
            static_cast<double>(total.proposals) / static_cast<double>(total.dags);
        plan.seconds_per_dag = seconds / static_cast<double>(total.dags);
    } else {
        // Not one DAG within the bound: each costs more than the pilot took.
        plan.proposals_per_dag = static_cast<double>(total.proposals);
        plan.seconds_per_dag = seconds;
        plan.lower_bound = true;
        if (!plan.exact_ratio) {
            plan.dags_per_class = 1;
        }
    }
    // Threads beyond the CPUs take turns: 1024 threads on 2 CPUs draw no
    // faster than 2.
    plan.parallel = std::clamp(usable_cpu_count(), 1, std::max(threads, 1));
    plan.expected_seconds =
        static_cast<double>(classes) * plan.dags_per_class * plan.seconds_per_dag / plan.parallel;
    return plan;
}

std::string describe_seconds(double seconds) {
    char text[64];
    if (seconds < 120) {
        std::snprintf(text, sizeof text, "%.2g s", seconds);
    } else if (seconds < 2 * 3600) {
        std::snprintf(text, sizeof text, "%.2g minutes", seconds / 60);
    } else if (seconds < 3 * 86400) {
        std::snprintf(text, sizeof text, "%.2g hours", seconds / 3600);
    } else {
        std::snprintf(text, sizeof text, "%.2g days", seconds / 86400);
    }
    return text;
}

std::string describe_plan(const EdgeBoundPlan& plan, std::int64_t classes, int threads) {
    char text[440];
    char sharing[40] = "";
    if (plan.parallel < threads) {
        std::snprintf(sharing, sizeof sharing, ", which share %d CPU%s", plan.parallel,
                      plan.parallel == 1 ? "" : "s");
    }
    const char* more = plan.lower_bound ? "more than " : "";
    if (plan.lower_bound && !plan.exact_ratio) {
        std::snprintf(text, sizeof text,
                      "no DAG within the bound in a pilot of %.0f weighted proposals; %s%s for "
                      "%lld classes on %d thread%s%s",
                      plan.proposals_per_dag, more, describe_seconds(plan.expected_seconds).c_str(),
                      static_cast<long long>(classes), threads, threads == 1 ? "" : "s", sharing);
        return text;
    }
    std::snprintf(text, sizeof text,
                  "%.4g DAGs drawn per kept class (%s), %s%.3g weighted proposals per DAG; "
                  "expected time %s%s for %lld classes on %d thread%s%s",
                  plan.dags_per_class,
                  plan.exact_ratio ? "exact, from the counts by edges" : "estimated by a pilot",
                  more, plan.proposals_per_dag, more,
                  describe_seconds(plan.expected_seconds).c_str(), static_cast<long long>(classes),
                  threads, threads == 1 ? "" : "s", sharing);
    return text;
}

}  // namespace pellimor
