// Reading and writing a user's graph: round trips through every format,
// the matrix conventions, detection, and each refusal with its line.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "formats/adjacency_matrix.hpp"
#include "formats/dag_writer.hpp"
#include "formats/graph_format.hpp"
#include "graph/equivalence_class.hpp"
#include "graph/graph_error.hpp"
#include "user_graphs.hpp"

namespace pellimor {
namespace {

using testing::by_name;

// Essential graphs of random DAGs on 1 to 7 vertices, named in ways every
// format can hold, some with index names (written by json as a record).
std::vector<NamedGraph> sample_graphs() {
    std::mt19937_64 rng(11);
    std::vector<NamedGraph> graphs;
    const std::vector<std::string> odd = {"x.1", "Gene_A", "β", "7", "a-b", "q:r", "z"};
    for (int i = 0; i < 40; ++i) {
        const int n = 1 + i % 7;
        NamedGraph g = with_index_names(testing::random_essential_graph(rng, n, 0.5));
        if (i % 3 != 0) {
            for (int v = 0; v < n; ++v) {
                g.names[static_cast<std::size_t>(v)] = odd[static_cast<std::size_t>(v)];
            }
        }
        graphs.push_back(std::move(g));
    }
    return graphs;
}

class EveryFormat : public ::testing::TestWithParam<GraphFormat> {};

TEST_P(EveryFormat, RoundTripKeepsTheGraphAndItsNames) {
    for (const NamedGraph& g : sample_graphs()) {
        std::string text;
        append_graph(text, g, GetParam());
        const NamedGraph back = read_graph(text, GetParam());
        EXPECT_EQ(by_name(back), by_name(g)) << text;
        if (GetParam() != GraphFormat::EDGES) {
            EXPECT_EQ(back.names, g.names) << "vertex order kept";
        }
    }
}

// The fast writer of a class's DAGs writes what append_graph writes for the
// same DAG.
TEST_P(EveryFormat, DagWriterWritesEachDagAsTheGraphIsWritten) {
    std::mt19937_64 rng(5);
    for (const NamedGraph& g : sample_graphs()) {
        const EquivalenceClass members(g.graph);
        const DagWriter writer(g, GetParam());
        std::vector<int> position(static_cast<std::size_t>(g.graph.n));
        for (int v = 0; v < g.graph.n; ++v) {
            position[static_cast<std::size_t>(v)] = v;
        }
        std::shuffle(position.begin(), position.end(), rng);
        NamedGraph dag = g;
        dag.graph.lines.clear();
        members.orient(position, dag.graph.arrows);
        std::string expected(graph_separator(GetParam()));
        append_graph(expected, dag, GetParam());
        std::string written;
        writer.append(written, position, false);
        EXPECT_EQ(written, expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, EveryFormat,
                         ::testing::Values(GraphFormat::EDGES, GraphFormat::JSON, GraphFormat::AMAT,
                                           GraphFormat::AMAT_PCALG, GraphFormat::AMAT_SIGNED),
                         [](const auto& info) {
                             std::string name(graph_format_name(info.param));
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// A CPDAG as R's pcalg writes it (write.csv of the amat): [j, i] = 1 for
// i -> j. Here a -> c, b -> c and the line c -- d.
TEST(MatrixConventions, PcalgMatrixIsTheTransposeOfTheUsualOne) {
    const std::string text =
        "\"\",\"a\",\"b\",\"c\",\"d\"\n"
        "\"a\",0,0,0,0\n"
        "\"b\",0,0,0,0\n"
        "\"c\",1,1,0,1\n"
        "\"d\",0,0,1,0\n";
    const auto pcalg = by_name(read_graph(text, GraphFormat::AMAT_PCALG));
    EXPECT_EQ(pcalg.arrows,
              (std::set<std::pair<std::string, std::string>>{{"a", "c"}, {"b", "c"}}));
    EXPECT_EQ(pcalg.lines.count({"c", "d"}), 1u);
    const auto usual = by_name(read_graph(text, GraphFormat::AMAT));
    EXPECT_EQ(usual.arrows,
              (std::set<std::pair<std::string, std::string>>{{"c", "a"}, {"c", "b"}}));
}

TEST(Detection, FormatFromTheNameOrTheTextWhenUnambiguous) {
    EXPECT_EQ(detect_graph_format("g.txt", "a -> b\n"), GraphFormat::EDGES);
    EXPECT_EQ(detect_graph_format("-", "a\nb\n"), GraphFormat::EDGES);
    EXPECT_EQ(detect_graph_format("g", " {\"nodes\": []}"), GraphFormat::JSON);
    EXPECT_EQ(detect_graph_format("g.json", ""), GraphFormat::JSON);
    EXPECT_EQ(detect_graph_format("m.csv", "0,-1\n1,0\n"), GraphFormat::AMAT_SIGNED);
    EXPECT_EQ(detect_graph_format("m.txt", "0 1\n1 0\n"), GraphFormat::AMAT);
    try {
        detect_graph_format("m.csv", "0,1\n0,0\n");
        ADD_FAILURE() << "an arrow in a 0/1 matrix needs its convention named";
    } catch (const GraphError& e) {
        EXPECT_NE(std::string(e.what()).find("--format amat-pcalg"), std::string::npos) << e.what();
    }
}

// A --samples record's class size has all its digits, past the range of a
// double too; the record still reads as its graph.
TEST(Detection, RecordWithAClassSizePastADoubleReadsAsItsGraph) {
    const std::string digits(400, '9');
    const NamedGraph g = read_graph(
        "{\"n_vars\":3,\"class_size\":" + digits + ",\"arrows\":[[0,2]],\"lines\":[[0,1]]}",
        GraphFormat::JSON);
    EXPECT_EQ(g.graph.n, 3);
    EXPECT_EQ(by_name(g).arrows, (std::set<std::pair<std::string, std::string>>{{"0", "2"}}));
    EXPECT_EQ(by_name(g).lines,
              (std::set<std::pair<std::string, std::string>>{{"0", "1"}, {"1", "0"}}));
}

struct Refusal {
    const char* name;
    GraphFormat format;
    const char* text;
    std::vector<const char*> said;
};

class Refusals : public ::testing::TestWithParam<Refusal> {};

TEST_P(Refusals, NameTheFaultAndWhere) {
    const Refusal& r = GetParam();
    try {
        read_graph(r.text, r.format);
        ADD_FAILURE() << "read without complaint";
    } catch (const GraphError& e) {
        for (const char* part : r.said) {
            EXPECT_NE(std::string(e.what()).find(part), std::string::npos)
                << "'" << part << "' not in: " << e.what();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, Refusals,
    ::testing::Values(
        Refusal{"malformed", GraphFormat::EDGES, "a -> b\n\nb => c\n", {"line 3", "'b => c'"}},
        Refusal{"no_blanks", GraphFormat::EDGES, "a->b\n", {"line 1", "blanks"}},
        Refusal{
            "self_loop", GraphFormat::EDGES, "a -> b\nc -- c\n", {"self-loop", "c -- c", "line 2"}},
        Refusal{"repeated",
                GraphFormat::EDGES,
                "a -- b\nc -> b\nb -- a\n",
                {"repeated", "line 1", "line 3"}},
        Refusal{"contradictory",
                GraphFormat::EDGES,
                "a -> b\nb -> a\n",
                {"contradictory", "a -> b (line 1)", "b -> a (line 2)"}},
        Refusal{"unknown_vertex",
                GraphFormat::JSON,
                R"({"nodes": ["a", "b"], "edges": [{"from": "a", "to": "c", "type": "arrow"}]})",
                {"edge 1", "unknown vertex 'c'"}},
        Refusal{"unknown_index",
                GraphFormat::JSON,
                R"({"n_vars": 2, "arrows": [[0, 2]]})",
                {"entry 1 of \"arrows\"", "unknown vertex 2"}},
        Refusal{"several_graphs",
                GraphFormat::JSON,
                "{\"n_vars\": 1}\n{\"n_vars\": 2}\n",
                {"more than one graph"}},
        Refusal{"not_square", GraphFormat::AMAT, "0,1\n0,0,0\n", {"line 2", "square"}},
        Refusal{"signed_pair",
                GraphFormat::AMAT_SIGNED,
                "a,b\n0,1\n1,0\n",
                {"line 2", "[a, b] = 1", "amat-signed"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pellimor
