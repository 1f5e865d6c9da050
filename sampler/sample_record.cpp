#include "sampler/sample_record.hpp"

#include <charconv>
#include <cmath>
#include <vector>

#include "graph/equivalence_class.hpp"

namespace pellimor {

namespace {

void append_integer(std::string& out, std::int64_t value) {
    char text[24];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    out.append(text, end);
}

// The shortest text that reads back as the same double; null when not finite.
void append_number(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    out.append(text, end);
}

void append_field(std::string& out, const char* key, std::int64_t value) {
    out += ",\"";
    out += key;
    out += "\":";
    append_integer(out, value);
}

void append_pair(std::string& out, bool& first, int a, int b) {
    out += first ? "[" : ",[";
    first = false;
    append_integer(out, a);
    out += ',';
    append_integer(out, b);
    out += ']';
}

// Room for a record of `pairs` vertex pairs on n vertices, at most
// "[a,b]," each, so that it is built without growing: a string that doubles
// holds up to three times its text while it is copied, and a record at
// n_vars = 10000 is over half a gigabyte. Records are appended to a buffer
// that is reused, so room once made stays.
void reserve_record(std::string& out, int n, std::int64_t pairs) {
    int digits = 1;
    for (int largest = n - 1; largest >= 10; largest /= 10) {
        ++digits;
    }
    constexpr std::size_t head = 512;  // the fields before the pairs, and the brackets
    out.reserve(out.size() + head +
                static_cast<std::size_t>(pairs) * static_cast<std::size_t>(2 * digits + 4));
}

// The class size as a JSON integer with all its digits: the double where it
// is exact (below 2^53), else counted exactly from the class's lines, which
// lines() gives (those of large classes only, which are rare).
template <typename Lines>
void append_class_size(std::string& out, double size, int n_vars, Lines lines) {
    if (size < 0x1p53) {
        append_integer(out, static_cast<std::int64_t>(size));
        return;
    }
    const std::vector<VertexPair> all = lines();
    out += exact_class_size(n_vars, all).get_str();
}

template <typename Lines>
void append_head(std::string& out, std::uint64_t sample, int n_vars, const SampleResult& r,
                 Lines lines) {
    const ClassStatistics& c = r.classes;
    out += "{\"sample\":";
    append_integer(out, static_cast<std::int64_t>(sample));
    append_field(out, "n_vars", n_vars);
    out += r.connected != 0 ? ",\"connected\":true" : ",\"connected\":false";
    append_field(out, "edge_count", c.edges);
    append_field(out, "line_count", c.lines);
    append_field(out, "arrow_count", c.arrows);
    if (c.vees >= 0) {
        append_field(out, "vee_count", c.vees);
    } else {
        out += ",\"vee_count\":null";
    }
    append_field(out, "chain_components", c.chain_components);
    append_field(out, "largest_chain_component", c.largest_chain_component);
    out += ",\"class_size\":";
    append_class_size(out, c.size, n_vars, lines);
    out += ",\"log10_class_size\":";
    append_number(out, c.log10_size);
}

}  // namespace

void append_walk_record(std::string& out, std::uint64_t sample, const SampleResult& result,
                        const EdgeMatrix& m) {
    const int n = m.size();
    reserve_record(out, n, result.classes.edges);
    append_head(out, sample, n, result, [&] {
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
    out += ",\"arrows\":[";
    bool first = true;
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            if (m[r][c] == EDGE_ARROW) {
                append_pair(out, first, r, c);
            }
        }
    }
    out += "],\"lines\":[";
    first = true;
    for (int r = 0; r < n; ++r) {
        for (int c = r + 1; c < n; ++c) {
            if (m[r][c] == EDGE_LINE) {
                append_pair(out, first, r, c);
            }
        }
    }
    out += "]}\n";
}

void append_exact_record(std::string& out, std::uint64_t sample, const SampleResult& result,
                         const OrderedDag& dag, const EssentialGraph& eg,
                         std::span<const int> label) {
    const int n = dag.size();
    const int words = dag.words();
    const Word* heads = eg.line_heads();
    // The class's arrows and lines, and the DAG's arrows: twice its edges.
    reserve_record(out, n, 2 * result.classes.edges);
    append_head(out, sample, n, result, [&] {
        std::vector<VertexPair> lines;
        all_bits(
            words, [&](int w) { return heads[w]; },
            [&](int v) {
                all_bits(
                    words, [&](int w) { return eg.reversible(v)[w]; },
                    [&](int u) {
                        lines.push_back({u, v});
                        return true;
                    });
                return true;
            });
        return lines;
    });
    // The arrows of the essential graph are the DAG's arrows that are not
    // lines: parents(v) minus reversible(v), the latter only for line heads.
    out += ",\"arrows\":[";
    bool first = true;
    for (int v = 0; v < n; ++v) {
        const Word* parents = dag.parents(v);
        const bool has_lines = test_bit(heads, v);
        all_bits(
            words,
            [&](int w) { return has_lines ? parents[w] & ~eg.reversible(v)[w] : parents[w]; },
            [&](int u) {
                append_pair(out, first, label[u], label[v]);
                return true;
            });
    }
    out += "],\"lines\":[";
    first = true;
    all_bits(
        words, [&](int w) { return heads[w]; },
        [&](int v) {
            all_bits(
                words, [&](int w) { return eg.reversible(v)[w]; },
                [&](int u) {
                    const int a = label[u];
                    const int b = label[v];
                    append_pair(out, first, a < b ? a : b, a < b ? b : a);
                    return true;
                });
            return true;
        });
    out += "],\"dag\":[";
    first = true;
    for (int v = 0; v < n; ++v) {
        all_bits(
            words, [&](int w) { return dag.parents(v)[w]; },
            [&](int u) {
                append_pair(out, first, label[u], label[v]);
                return true;
            });
    }
    out += "]}\n";
}

}  // namespace pellimor
