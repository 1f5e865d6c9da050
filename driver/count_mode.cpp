#include "driver/count_mode.hpp"

#include <unistd.h>

#include <cstdio>

#include "counts/exact_counts.hpp"
#include "driver/stop_signals.hpp"
#include "stats/summary_json.hpp"

namespace pellimor {

namespace {

void append_row(std::string& text, std::initializer_list<std::string_view> fields) {
    bool first = true;
    for (const std::string_view field : fields) {
        if (!first) {
            text += '\t';
        }
        text += field;
        first = false;
    }
    text += '\n';
}

nlohmann::json value_json(const CountValue& v) {
    return v.value;
}

}  // namespace

std::string count_table_text(const std::vector<CountRow>& rows) {
    std::string text;
    append_row(text,
               {"n", "dags", "essential_dags", "essential_graphs", "connected_essential_graphs",
                "connected_essential_dags", "no_lines", "connected", "connected_among_no_lines",
                "no_lines_among_connected", "classes_per_dag", "mean_edges", "variance_edges"});
    for (const CountRow& r : rows) {
        append_row(text, {std::to_string(r.n), r.dags, r.essential_dags, r.essential_graphs,
                          r.connected_essential_graphs, r.connected_essential_dags, r.no_lines.text,
                          r.connected.text, r.connected_among_no_lines.text,
                          r.no_lines_among_connected.text, r.classes_per_dag.text,
                          r.mean_edges.text, r.variance_edges.text});
    }
    return text;
}

std::string edge_table_text(const EdgeTriangle& classes) {
    std::string text = "n\tedges\tclasses\n";
    for (std::size_t n = 1; n < classes.size(); ++n) {
        for (std::size_t e = 0; e < classes[n].size(); ++e) {
            append_row(text, {std::to_string(n), std::to_string(e), classes[n][e].get_str()});
        }
    }
    return text;
}

nlohmann::json count_json(const std::vector<CountRow>& rows, const EdgeTriangle* classes,
                          const Provenance& provenance) {
    nlohmann::json table = nlohmann::json::array();
    for (const CountRow& r : rows) {
        table.push_back({{"n", r.n},
                         {"exact", r.exact},
                         {"dags", r.dags},
                         {"essential_dags", r.essential_dags},
                         {"essential_graphs", r.essential_graphs},
                         {"connected_essential_graphs", r.connected_essential_graphs},
                         {"connected_essential_dags", r.connected_essential_dags},
                         {"log10_dags", r.log10_dags},
                         {"log10_essential_graphs", r.log10_essential_graphs},
                         {"no_lines", value_json(r.no_lines)},
                         {"connected", value_json(r.connected)},
                         {"connected_among_no_lines", value_json(r.connected_among_no_lines)},
                         {"no_lines_among_connected", value_json(r.no_lines_among_connected)},
                         {"classes_per_dag", value_json(r.classes_per_dag)},
                         {"mean_edges", value_json(r.mean_edges)},
                         {"variance_edges", value_json(r.variance_edges)}});
    }
    nlohmann::json j = {{"mode", "count"},
                        {"version", provenance.version},
                        {"command_line", provenance.command_line},
                        {"started_at", provenance.started_at},
                        {"exact_count_limit", exact_count_limit},
                        {"rows", table},
                        {"classes_by_edges", nullptr}};
    if (classes != nullptr) {
        nlohmann::json by_n = nlohmann::json::array();
        for (std::size_t n = 1; n < classes->size(); ++n) {
            nlohmann::json row = nlohmann::json::array();
            for (const mpz_class& c : (*classes)[n]) {
                row.push_back(c.get_str());
            }
            by_n.push_back({{"n", n}, {"classes", row}});
        }
        j["classes_by_edges"] = by_n;
    }
    return j;
}

std::string counts_out_of_memory(int n_vars) {
    return "not enough memory for the counts up to n_vars = " + std::to_string(n_vars) +
           "; choose a smaller n_vars";
}

int run_count(const Options& options, RunOutputs& outputs, const Provenance& provenance) {
    // As in the sampling modes: a reader that closes the pipe fails a write
    // instead of killing the process, so the JSON is still written. The
    // counts do not look for a stop, so until they are made a stop signal
    // ends the run at once, with nothing written and no temporary file left.
    install_stop_signals();
    end_at_once_on_stop(true);
    struct Tables {
        std::vector<CountRow> rows;
        EdgeTriangle classes;
    } tables;
    tables.rows = count_rows(options.n_vars);
    if (options.edges) {
        tables.classes = essential_graphs_by_edges(options.n_vars);
    }
    end_at_once_on_stop(false);
    const std::string text =
        options.edges ? edge_table_text(tables.classes) : count_table_text(tables.rows);
    bool saved = true;
    if (const int error = write_all(STDOUT_FILENO, text); error != 0) {
        std::fprintf(stderr, "pellimor: writing the table to standard output failed: %s\n",
                     write_failure_text(error).c_str());
        saved = false;
    }
    if (outputs.json) {
        const std::string document = json_document(
            count_json(tables.rows, options.edges ? &tables.classes : nullptr, provenance));
        auto error = outputs.json->write(document);
        if (!error) {
            error = outputs.json->commit();
        }
        if (error) {
            std::fprintf(stderr, "pellimor: cannot write the JSON document to '%s': %s\n",
                         options.json->c_str(), error->c_str());
            saved = false;
        }
        outputs.json.reset();
    }
    if (const int signal = stop_signal(); signal != 0) {
        return 128 + signal;
    }
    return saved ? 0 : 1;
}

}  // namespace pellimor
