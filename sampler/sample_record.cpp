#include "sampler/sample_record.hpp"

#include <charconv>
#include <cmath>
#include <string_view>
#include <vector>

#include "graph/equivalence_class.hpp"
#include "graph/essential_graph_lines.hpp"
#include "sampler/binary_record.hpp"

namespace pellimor {

namespace {

void append_integer(std::string& out, std::int64_t value) {
    char text[24];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    out.append(text, end);
}

// Room for a record of `pairs` vertex pairs on n vertices, at most
// "[a,b]," each, so that it is built without growing: a string that doubles
// holds up to three times its text while it is copied, and a record at
// n_vars = 10000 is over half a gigabyte. Records are appended to a buffer
// that is reused, so room once made stays.
void reserve_record(std::string& out, int n, std::int64_t pairs) {
    out.reserve(out.size() + static_cast<std::size_t>(record_room(n, static_cast<double>(pairs))));
}

}  // namespace

double record_room(int n, double pairs) {
    int digits = 1;
    for (int largest = n - 1; largest >= 10; largest /= 10) {
        ++digits;
    }
    constexpr double head = 512;  // the fields before the pairs, and the brackets
    return head + pairs * (2 * digits + 4);
}

double record_bytes(const RecordLayout& layout, int n, double edges) {
    switch (layout.graphs) {
        case RecordGraphs::NONE:
            return record_room(n, 0);
        case RecordGraphs::ESSENTIAL:
            return record_room(n, edges);
        case RecordGraphs::ESSENTIAL_AND_DAG:
            break;
    }
    return record_room(n, 2 * edges);
}

namespace {

// Fields in either format: "key":value pairs in braces, or values between
// tabs (a null as an empty field).
class FieldWriter {
  public:
    FieldWriter(std::string& out, RecordFormat format)
        : out_(out), json_(format == RecordFormat::JSON_LINES) {
        if (json_) {
            out_ += '{';
        }
    }

    // Starts the next field; its value follows.
    void key(const char* name) {
        if (json_) {
            out_ += first_ ? "\"" : ",\"";
            out_ += name;
            out_ += "\":";
        } else if (!first_) {
            out_ += '\t';
        }
        first_ = false;
    }

    void integer(const char* name, std::int64_t value) {
        key(name);
        append_integer(out_, value);
    }

    void boolean(const char* name, bool value) {
        key(name);
        out_ += value ? "true" : "false";
    }

    void null(const char* name) {
        key(name);
        if (json_) {
            out_ += "null";
        }
    }

    // The shortest text that reads back as the same double; null when not finite.
    void number(const char* name, double value) {
        if (!std::isfinite(value)) {
            null(name);
            return;
        }
        key(name);
        char text[32];
        const auto end = std::to_chars(text, text + sizeof text, value).ptr;
        out_.append(text, end);
    }

    // A whole number given by its digits.
    void digits(const char* name, std::string_view text) {
        key(name);
        out_ += text;
    }

    void end() { out_ += json_ ? "}\n" : "\n"; }

  private:
    std::string& out_;
    bool json_;
    bool first_ = true;
};

// The fields every record has, in order.
constexpr const char* statistics_fields[] = {
    "sample",     "n_vars",           "connected",
    "edge_count", "line_count",       "arrow_count",
    "vee_count",  "chain_components", "largest_chain_component",
    "class_size", "log10_class_size",
};

// The class size as a whole number with all its digits: the statistics'
// double where it is exact (below 2^53), else counted again exactly, with
// GMP, from the class's lines, which lines() gives (for large classes only).
template <typename Lines>
void append_class_size(FieldWriter& w, double size, int n_vars, Lines lines) {
    if (size < 0x1p53) {
        w.integer("class_size", static_cast<std::int64_t>(size));
        return;
    }
    const std::vector<VertexPair> all = lines();
    w.digits("class_size", exact_class_size(n_vars, all).get_str());
}

template <typename Lines>
void append_statistics(FieldWriter& w, std::uint64_t sample, int n_vars, const SampleResult& r,
                       Lines lines) {
    const ClassStatistics& c = r.classes;
    w.integer("sample", static_cast<std::int64_t>(sample));
    w.integer("n_vars", n_vars);
    w.boolean("connected", r.connected != 0);
    w.integer("edge_count", c.edges);
    w.integer("line_count", c.lines);
    w.integer("arrow_count", c.arrows);
    if (c.vees >= 0) {
        w.integer("vee_count", c.vees);
    } else {
        w.null("vee_count");
    }
    w.integer("chain_components", c.chain_components);
    w.integer("largest_chain_component", c.largest_chain_component);
    append_class_size(w, c.size, n_vars, lines);
    w.number("log10_class_size", c.log10_size);
}

// A list of vertex pairs as a JSON array, [[a,b],...], in either format.
class PairList {
  public:
    PairList(FieldWriter& w, std::string& out, const char* name) : out_(out) {
        w.key(name);
        out_ += '[';
    }
    ~PairList() { out_ += ']'; }

    void add(int a, int b) {
        out_ += first_ ? "[" : ",[";
        first_ = false;
        append_integer(out_, a);
        out_ += ',';
        append_integer(out_, b);
        out_ += ']';
    }

  private:
    std::string& out_;
    bool first_ = true;
};

}  // namespace

std::string record_header(const RecordLayout& layout) {
    if (layout.format != RecordFormat::TSV) {
        return "";
    }
    std::string header;
    for (const char* name : statistics_fields) {
        header += header.empty() ? "" : "\t";
        header += name;
    }
    if (layout.graphs != RecordGraphs::NONE) {
        header += "\tarrows\tlines";
    }
    if (layout.graphs == RecordGraphs::ESSENTIAL_AND_DAG) {
        header += "\tdag";
    }
    return header + "\n";
}

void append_walk_record(std::string& out, const RecordLayout& layout, std::uint64_t sample,
                        const SampleResult& result, const EdgeMatrix& m) {
    if (layout.format == RecordFormat::BINARY) {
        append_binary_walk_record(out, layout, result, m);
        return;
    }
    const int n = m.size();
    reserve_record(out, n, layout.graphs == RecordGraphs::NONE ? 0 : result.classes.edges);
    FieldWriter w(out, layout.format);
    append_statistics(w, sample, n, result, [&] {
        std::vector<VertexPair> lines;
        for (int r = 0; r < n; ++r) {
            for (int c = r + 1; c < n; ++c) {
                if (m[r][c] == EDGE_LINE) {
                    lines.push_back({r, c});
                }
            }
        }
        return lines;
    });
    if (layout.graphs != RecordGraphs::NONE) {
        {
            PairList arrows(w, out, "arrows");
            for (int r = 0; r < n; ++r) {
                for (int c = 0; c < n; ++c) {
                    if (m[r][c] == EDGE_ARROW) {
                        arrows.add(r, c);
                    }
                }
            }
        }
        PairList lines(w, out, "lines");
        for (int r = 0; r < n; ++r) {
            for (int c = r + 1; c < n; ++c) {
                if (m[r][c] == EDGE_LINE) {
                    lines.add(r, c);
                }
            }
        }
    }
    w.end();
}

void append_exact_record(std::string& out, const RecordLayout& layout, std::uint64_t sample,
                         const SampleResult& result, const OrderedDag& dag,
                         const EssentialGraph& eg, std::span<const int> label) {
    if (layout.format == RecordFormat::BINARY) {
        append_binary_exact_record(out, layout, result, dag, eg, label);
        return;
    }
    const int n = dag.size();
    const int words = dag.words();
    const Word* heads = eg.line_heads();
    // The class's arrows and lines, and the DAG's arrows: up to twice its edges.
    const std::int64_t edges = result.classes.edges;
    reserve_record(out, n,
                   layout.graphs == RecordGraphs::NONE                ? 0
                   : layout.graphs == RecordGraphs::ESSENTIAL_AND_DAG ? 2 * edges
                                                                      : edges);
    FieldWriter w(out, layout.format);
    append_statistics(w, sample, n, result, [&] {
        std::vector<VertexPair> lines;
        for_each_line(eg, [&](int u, int v) { lines.push_back({u, v}); });
        return lines;
    });
    if (layout.graphs != RecordGraphs::NONE) {
        // The arrows of the essential graph are the DAG's arrows that are
        // not lines: parents(v) minus reversible(v), the latter only for
        // line heads.
        {
            PairList arrows(w, out, "arrows");
            for (int v = 0; v < n; ++v) {
                const Word* parents = dag.parents(v);
                const bool has_lines = test_bit(heads, v);
                all_bits(
                    words,
                    [&](int i) {
                        return has_lines ? parents[i] & ~eg.reversible(v)[i] : parents[i];
                    },
                    [&](int u) {
                        arrows.add(label[u], label[v]);
                        return true;
                    });
            }
        }
        PairList lines(w, out, "lines");
        for_each_line(eg, [&](int u, int v) {
            const int a = label[u];
            const int b = label[v];
            lines.add(a < b ? a : b, a < b ? b : a);
        });
    }
    if (layout.graphs == RecordGraphs::ESSENTIAL_AND_DAG) {
        PairList arrows(w, out, "dag");
        for (int v = 0; v < n; ++v) {
            all_bits(
                words, [&](int i) { return dag.parents(v)[i]; },
                [&](int u) {
                    arrows.add(label[u], label[v]);
                    return true;
                });
        }
    }
    w.end();
}

}  // namespace pellimor
