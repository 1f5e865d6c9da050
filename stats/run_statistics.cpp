#include "stats/run_statistics.hpp"

namespace pellimor {

void RunStatistics::add(const SampleResult& r) {
    ++samples;
    no_lines_count += r.no_lines;
    connected_count += r.connected;
    both_count += r.no_lines * r.connected;
    half_no_lines_count += r.half_no_lines;
    dags_drawn += r.dags_drawn;
    for (int k = 0; k < move_kind_count; ++k) {
        rates[k].add(r.rates[k]);
    }
    no_lines.add(r.no_lines);
    lines.add(static_cast<double>(r.lines));
    no_lines_gain.add(r.no_lines - r.half_no_lines);
    lines_gain.add(static_cast<double>(r.lines - r.half_lines));
    const auto dags_drawn = static_cast<double>(r.dags_drawn);
    classes_per_dag.add(dags_drawn, r.inverse_size_sum);
    single_dag_share.add(r.inverse_size_sum, r.single_dag_count);
    connected_share.add(r.inverse_size_sum, r.connected_weight);
    classes.add(r.classes);
    edges.add(static_cast<double>(r.classes.edges));
    if (edge_bound.bounded()) {
        at_edge_bound.add(r.classes.edges == edge_bound.edges ? 1 : 0);
    }
}

void RunStatistics::merge(const RunStatistics& other) {
    samples += other.samples;
    no_lines_count += other.no_lines_count;
    connected_count += other.connected_count;
    both_count += other.both_count;
    half_no_lines_count += other.half_no_lines_count;
    dags_drawn += other.dags_drawn;
    for (int k = 0; k < move_kind_count; ++k) {
        rates[k].merge(other.rates[k]);
    }
    no_lines.merge(other.no_lines);
    lines.merge(other.lines);
    no_lines_gain.merge(other.no_lines_gain);
    lines_gain.merge(other.lines_gain);
    classes_per_dag.merge(other.classes_per_dag);
    single_dag_share.merge(other.single_dag_share);
    connected_share.merge(other.connected_share);
    classes.merge(other.classes);
    edges.merge(other.edges);
    at_edge_bound.merge(other.at_edge_bound);
}

}  // namespace pellimor
