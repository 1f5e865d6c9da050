#include "sampler/binary_record.hpp"

#include <cstring>
#include <vector>

#include "graph/bit_rows.hpp"
#include "graph/equivalence_class.hpp"
#include "graph/essential_graph_lines.hpp"

namespace pellimor {

namespace {

static_assert(sizeof(VertexPair) == 2 * sizeof(std::int32_t));

// Pairs written after the header, which is filled in at the end, into room
// made once for at most `room_pairs` of them.
class BinaryWriter {
  public:
    BinaryWriter(std::string& out, std::int64_t room_pairs) : out_(out), start_(out.size()) {
        out_.resize(start_ + sizeof(BinaryRecordHeader) +
                    static_cast<std::size_t>(room_pairs) * sizeof(VertexPair));
        first_ = reinterpret_cast<char*>(out_.data()) + start_ + sizeof(BinaryRecordHeader);
        next_ = first_;
    }

    void add(int a, int b) {
        const VertexPair p{a, b};
        std::memcpy(next_, &p, sizeof p);
        next_ += sizeof p;
    }

    std::size_t pairs() const {
        return static_cast<std::size_t>(next_ - first_) / sizeof(VertexPair);
    }

    // The pairs from `first` on, for a recount of the class size.
    std::vector<VertexPair> pairs_from(std::size_t first, std::size_t count) const {
        std::vector<VertexPair> copy(count);
        if (count > 0) {
            std::memcpy(copy.data(), first_ + first * sizeof(VertexPair),
                        count * sizeof(VertexPair));
        }
        return copy;
    }

    // Drops the pairs from `first` on.
    void drop_from(std::size_t first) { next_ = first_ + first * sizeof(VertexPair); }

    void finish(BinaryRecordHeader header, const std::string& digits) {
        header.size_digits = static_cast<std::int64_t>(digits.size());
        std::memcpy(out_.data() + start_, &header, sizeof header);
        out_.resize(static_cast<std::size_t>(next_ - out_.data()));
        out_ += digits;
    }

  private:
    std::string& out_;
    std::size_t start_;
    char* first_;
    char* next_;
};

// The class size's digits when its double is not exact: the class counted
// again with GMP from its lines (n vertices).
std::string size_digits(const SampleResult& result, int n, std::span<const VertexPair> lines) {
    if (exact_as_double(result.classes.size)) {
        return {};
    }
    return exact_class_size(n, lines).get_str();
}

}  // namespace

bool exact_as_double(double size) {
    return size < 9007199254740992.0;
}  // 2^53

void append_binary_walk_record(std::string& out, const RecordLayout& layout,
                               const SampleResult& result, const EdgeMatrix& m) {
    const int n = m.size();
    const bool graphs = layout.graphs != RecordGraphs::NONE;
    const bool recount = !exact_as_double(result.classes.size);
    BinaryWriter w(out, graphs || recount ? result.classes.edges : 0);
    BinaryRecordHeader header;
    if (graphs) {
        for (int r = 0; r < n; ++r) {
            for (int c = 0; c < n; ++c) {
                if (m[r][c] == EDGE_ARROW) {
                    w.add(r, c);
                }
            }
        }
        header.arrows = static_cast<std::int64_t>(w.pairs());
    }
    // The lines, also without graphs when the class size needs them.
    std::string digits;
    if (graphs || recount) {
        const std::size_t first = w.pairs();
        for (int r = 0; r < n; ++r) {
            for (int c = r + 1; c < n; ++c) {
                if (m[r][c] == EDGE_LINE) {
                    w.add(r, c);
                }
            }
        }
        const std::size_t count = w.pairs() - first;
        digits = size_digits(result, n, w.pairs_from(first, count));
        if (graphs) {
            header.lines = static_cast<std::int64_t>(count);
        } else {
            w.drop_from(first);
        }
    }
    w.finish(header, digits);
}

void append_binary_exact_record(std::string& out, const RecordLayout& layout,
                                const SampleResult& result, const OrderedDag& dag,
                                const EssentialGraph& eg, std::span<const int> label) {
    const int n = dag.size();
    const int words = dag.words();
    const Word* heads = eg.line_heads();
    const bool graphs = layout.graphs != RecordGraphs::NONE;
    const bool with_dag = layout.graphs == RecordGraphs::ESSENTIAL_AND_DAG;
    const std::int64_t edges = result.classes.edges;
    const bool recount = !exact_as_double(result.classes.size);
    BinaryWriter w(out, with_dag ? 2 * edges : graphs || recount ? edges : 0);
    BinaryRecordHeader header;
    if (graphs) {
        // As in the text record: the essential graph's arrows are the DAG's
        // arrows that are not lines.
        for (int v = 0; v < n; ++v) {
            const Word* parents = dag.parents(v);
            const bool has_lines = test_bit(heads, v);
            all_bits(
                words,
                [&](int i) { return has_lines ? parents[i] & ~eg.reversible(v)[i] : parents[i]; },
                [&](int u) {
                    w.add(label[u], label[v]);
                    return true;
                });
        }
        header.arrows = static_cast<std::int64_t>(w.pairs());
    }
    std::string digits;
    if (graphs || recount) {
        const std::size_t first = w.pairs();
        for_each_line(eg, [&](int u, int v) {
            // Without graphs the lines only count the class, whatever
            // their names: label may be empty.
            const int a = graphs ? label[u] : u;
            const int b = graphs ? label[v] : v;
            w.add(a < b ? a : b, a < b ? b : a);
        });
        const std::size_t count = w.pairs() - first;
        digits = size_digits(result, n, w.pairs_from(first, count));
        if (graphs) {
            header.lines = static_cast<std::int64_t>(count);
        } else {
            w.drop_from(first);
        }
    }
    if (with_dag) {
        const std::size_t first = w.pairs();
        for (int v = 0; v < n; ++v) {
            all_bits(
                words, [&](int i) { return dag.parents(v)[i]; },
                [&](int u) {
                    w.add(label[u], label[v]);
                    return true;
                });
        }
        header.dag = static_cast<std::int64_t>(w.pairs() - first);
    }
    w.finish(header, digits);
}

BinaryRecordView read_binary_record(std::string_view record) {
    BinaryRecordHeader header;
    std::memcpy(&header, record.data(), sizeof header);
    const auto* pairs = reinterpret_cast<const VertexPair*>(record.data() + sizeof header);
    BinaryRecordView view;
    const auto arrows = static_cast<std::size_t>(header.arrows);
    const auto lines = static_cast<std::size_t>(header.lines);
    const std::size_t dag = header.dag < 0 ? 0 : static_cast<std::size_t>(header.dag);
    view.arrows = {pairs, arrows};
    view.lines = {pairs + arrows, lines};
    view.dag = {pairs + arrows + lines, dag};
    view.has_dag = header.dag >= 0;
    const std::size_t digits_at = sizeof header + (arrows + lines + dag) * sizeof(VertexPair);
    view.size_digits = record.substr(digits_at, static_cast<std::size_t>(header.size_digits));
    return view;
}

}  // namespace pellimor
