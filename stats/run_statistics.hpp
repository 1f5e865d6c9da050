#pragma once

// Everything a run's summary is computed from: counts, means and co-moments
// over the samples added so far. Cheap enough to add every sample on the main
// thread; plain, trivially copyable data, so that partial statistics can be
// sent between processes as bytes and merged.

#include <cstdint>
#include <type_traits>

#include "graph/edge_bound.hpp"
#include "sampler/sample_run.hpp"
#include "stats/class_accumulator.hpp"
#include "stats/interval.hpp"

namespace pellimor {

struct RunStatistics {
    std::int64_t samples = 0;
    std::int64_t no_lines_count = 0;
    std::int64_t connected_count = 0;
    std::int64_t both_count = 0;           // no lines and connected
    std::int64_t half_no_lines_count = 0;  // the walk: no lines after half the walk
    std::int64_t dags_drawn = 0;           // the exact method: DAGs drawn, kept or not

    // Per sample: each move kind's rate (the walk), the no-line flag and the
    // line count of the sample's graph.
    MeanAccumulator rates[move_kind_count];
    MeanAccumulator no_lines;
    MeanAccumulator lines;

    // The walk: full-walk value minus half-walk value, per sample.
    MeanAccumulator no_lines_gain;
    MeanAccumulator lines_gain;

    // The exact method, over every DAG drawn. Per sample x = DAGs drawn,
    // y = sum of 1/s; x = sum of 1/s, y = sum of [s = 1]; x = sum of 1/s,
    // y = sum of [connected]/s.
    RatioAccumulator classes_per_dag;
    RatioAccumulator single_dag_share;
    RatioAccumulator connected_share;

    // The samples' classes: means of their statistics, distribution of s.
    ClassAccumulator classes;
    // The edge count of each sample's graph, and whether it equals the
    // bound's E (a run bounded by edges sets edge_bound before adding;
    // without a bound at_edge_bound stays empty).
    EdgeBound edge_bound;
    MeanAccumulator edges;
    MeanAccumulator at_edge_bound;

    // Adds one sample; samples should be added in sample order, so that runs
    // with the same seed give the same statistics to the last bit.
    void add(const SampleResult& r);

    // Adds the samples of `other`, as if they had been added after these.
    void merge(const RunStatistics& other);
};

static_assert(std::is_trivially_copyable_v<RunStatistics> &&
              std::is_standard_layout_v<RunStatistics>);

}  // namespace pellimor
