// wmatch: strict input checking with line numbers, and matchings equal to a
// brute-force optimum (maximum cardinality first, then weight).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tests/pairing/engine_fixture.h"
#include "tests/tools/brute_force_matching.h"
#include "tests/tools/program_runner.h"
#include "tools/wmatch/graph_input.h"
#include "tools/wmatch/matcher.h"

namespace {

using wmatch::ParseGraph;

// The format's text for a weight matrix (missing edges left out).
std::string GraphText(const std::vector<std::vector<std::int64_t>>& w,
                      const std::vector<std::vector<bool>>& has) {
  const int n = static_cast<int>(w.size());
  std::string body;
  long long edges = 0;
  for (int i = 0; i < n; ++i) {
    int degree = 0;
    std::string lines;
    for (int j = 0; j < n; ++j) {
      if (j == i || !has[i][j]) continue;
      ++degree;
      lines += std::to_string(j + 1) + " " + std::to_string(w[i][j]) + "\r\n";
    }
    edges += degree;
    body += std::to_string(degree) + " " + std::to_string(i + 1) + " 0 0\r\n" + lines;
  }
  return std::to_string(n) + " " + std::to_string(edges / 2) + " U\r\n" + body;
}

struct BadInputCase {
  const char* name;
  std::string text;
  std::string error;
};

void PrintTo(const BadInputCase& c, std::ostream* os) { *os << c.name; }

class WmatchBadInputTest : public ::testing::TestWithParam<BadInputCase> {};

TEST_P(WmatchBadInputTest, NamesTheLine) {
  wmatch::ParseResult result = ParseGraph(GetParam().text);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, GetParam().error);
}

const char kGood2[] = "2 1 U\n1 1 0 0\n2 5\n1 2 0 0\n1 5\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, WmatchBadInputTest,
    ::testing::Values(
        BadInputCase{"Empty", "", "line 1: empty input, expected the header \"n m U\""},
        BadInputCase{"HeaderWithoutU", "2 1\n", "line 1: bad header, expected \"n m U\""},
        BadInputCase{"HeaderNotNumeric", "two 1 U\n", "line 1: 'two' is not an integer"},
        BadInputCase{"NegativeVertices", "-1 0 U\n", "line 1: vertex count -1 out of range"},
        BadInputCase{"TooManyEdges", "2 2 U\n", "line 1: edge count 2 impossible for 2 vertices"},
        BadInputCase{"Truncated", "2 1 U\n1 1 0 0\n2 5\n",
                     "line 4: unexpected end of input, expected vertex 2"},
        BadInputCase{"TruncatedNeighbours", "2 1 U\n1 1 0 0\n",
                     "line 3: unexpected end of input in the neighbours of vertex 1"},
        BadInputCase{"WrongVertexNumber", "2 1 U\n1 2 0 0\n",
                     "line 2: vertex 2 where vertex 1 was expected"},
        BadInputCase{"VertexLineShort", "2 1 U\n1 1 0\n",
                     "line 2: expected the vertex line \"degree 1 0 0\""},
        BadInputCase{"DegreeTooLarge", "2 1 U\n2 1 0 0\n",
                     "line 2: degree 2 out of range"},
        BadInputCase{"NeighbourOutOfRange", "2 1 U\n1 1 0 0\n3 5\n",
                     "line 3: vertex 3 out of range 1..2"},
        BadInputCase{"NeighbourZero", "2 1 U\n1 1 0 0\n0 5\n",
                     "line 3: vertex 0 out of range 1..2"},
        BadInputCase{"SelfLoop", "2 1 U\n1 1 0 0\n1 5\n", "line 3: vertex 1 lists itself"},
        BadInputCase{"WeightNotNumeric", "2 1 U\n1 1 0 0\n2 5x\n", "line 3: '5x' is not an integer"},
        BadInputCase{"WeightOverflow", "2 1 U\n1 1 0 0\n2 99999999999999999999\n",
                     "line 3: '99999999999999999999' is not an integer"},
        BadInputCase{"WeightTooLarge", "2 1 U\n1 1 0 0\n2 -288230376151711745\n",
                     "line 3: weight -288230376151711745 is too large"},
        BadInputCase{"NeighbourLineLong", "2 1 U\n1 1 0 0\n2 5 7\n",
                     "line 3: expected a neighbour line \"vertex weight\""},
        BadInputCase{"DifferingWeights", "2 1 U\n1 1 0 0\n2 5\n1 2 0 0\n1 6\n",
                     "line 5: edge 1-2 weighs 6 here but 5 on line 3"},
        BadInputCase{"ListedOnce", "3 1 U\n1 1 0 0\n2 5\n1 2 0 0\n3 1\n0 3 0 0\n",
                     "line 3: edge 1-2 is listed under one of its ends only"},
        BadInputCase{"ListedTwiceUnderOne", "3 1 U\n2 1 0 0\n2 5\n2 5\n",
                     "line 4: vertex 2 listed twice under vertex 1"},
        BadInputCase{"CountMismatch", "3 2 U\n1 1 0 0\n2 5\n1 2 0 0\n1 5\n0 3 0 0\n",
                     "line 1: the header announces 2 edges, the vertices list 1"},
        BadInputCase{"TrailingText", std::string(kGood2) + "junk\n",
                     "line 6: unexpected text after the last vertex"}),
    [](const auto& info) { return info.param.name; });

TEST(WmatchTest, AcceptsCrLfAndBlankLines) {
  wmatch::ParseResult result = ParseGraph("2 1 U\r\n1 1 0 0\r\n\r\n2 5\r\n1 2 0 0\r\n1 5\r\n\r\n");
  ASSERT_TRUE(result.ok) << result.error;
  ASSERT_EQ(result.graph.edges.size(), 1u);
  EXPECT_EQ(result.graph.edges[0].weight, 5);
}

TEST(WmatchTest, NoVerticesAndOneVertex) {
  for (const char* text : {"0 0 U\n", "1 0 U\n0 1 0 0\n"}) {
    wmatch::ParseResult input = ParseGraph(text);
    ASSERT_TRUE(input.ok) << input.error;
    wmatch::MatchResult result = wmatch::MatchGraph(input.graph);
    ASSERT_TRUE(result.ok);
    for (std::size_t v = 1; v < result.mate.size(); ++v) EXPECT_EQ(result.mate[v], 0);
  }
}

TEST(WmatchTest, RefusesWeightsTooLargeToMatchExactly) {
  wmatch::Graph graph;
  graph.vertex_count = 2;
  graph.edges.push_back({1, 2, std::int64_t{1} << 60});
  EXPECT_FALSE(wmatch::MatchGraph(graph).ok);
}

// Beyond a thousand vertices the edges are kept in a hash table.
TEST(WmatchTest, LargeSparseGraph) {
  const int n = 1101;
  std::vector<std::vector<std::int64_t>> w(n, std::vector<std::int64_t>(n, 0));
  std::vector<std::vector<bool>> has(n, std::vector<bool>(n, false));
  for (int i = 0; i + 1 < n; ++i) {
    has[i][i + 1] = has[i + 1][i] = true;
    w[i][i + 1] = w[i + 1][i] = i % 2 == 0 ? 1 : 100;
  }
  std::string text = GraphText(w, has);
  wmatch::ParseResult input = ParseGraph(text);
  ASSERT_TRUE(input.ok) << input.error;
  wmatch::MatchResult result = wmatch::MatchGraph(input.graph);
  ASSERT_TRUE(result.ok);
  // A path of 1101 vertices: 550 edges whatever the weights; the heavy ones win.
  EXPECT_EQ(result.mate[1], 0);
  for (int v = 2; v <= n; v += 2) EXPECT_EQ(result.mate[static_cast<std::size_t>(v)], v + 1);
  // An edge listed under one end only is found there too.
  std::string broken = text.substr(0, text.rfind("1100 100\r\n")) + "1099 100\r\n";
  EXPECT_FALSE(ParseGraph(broken).ok);
}

// Random graphs, sparse or complete, weights of every sign and size up to the
// pairing's largest: the matching found is as good as the best one.
TEST(WmatchTest, MatchesTheBruteForceOptimum) {
  std::mt19937_64 random(12345);
  for (int round = 0; round < 400; ++round) {
    const int n = static_cast<int>(random() % 13);
    const int density = static_cast<int>(random() % 4);  // 0: complete
    std::int64_t range = round % 3 == 0 ? 10 : round % 3 == 1 ? 2000000 : 6000000000000;
    std::vector<std::vector<std::int64_t>> w(n, std::vector<std::int64_t>(n, 0));
    std::vector<std::vector<bool>> has(n, std::vector<bool>(n, false));
    for (int i = 0; i < n; ++i) {
      for (int j = i + 1; j < n; ++j) {
        has[i][j] = has[j][i] = density == 0 || random() % 4 >= static_cast<unsigned>(density);
        std::int64_t weight = static_cast<std::int64_t>(random() % (2 * range + 1)) - range;
        w[i][j] = w[j][i] = weight;
      }
    }
    wmatch::ParseResult input = ParseGraph(GraphText(w, has));
    ASSERT_TRUE(input.ok) << input.error;
    wmatch::MatchResult result = wmatch::MatchGraph(input.graph);
    ASSERT_TRUE(result.ok) << result.error;
    matching_test::Best got;
    for (int v = 1; v <= n; ++v) {
      int m = result.mate[static_cast<std::size_t>(v)];
      ASSERT_GE(m, 0);
      ASSERT_LE(m, n);
      if (m == 0) continue;
      ASSERT_EQ(result.mate[static_cast<std::size_t>(m)], v) << "round " << round;
      ASSERT_TRUE(has[v - 1][m - 1]);
      if (m > v) {
        got.edges += 1;
        got.weight += w[v - 1][m - 1];
      }
    }
    matching_test::Best best = matching_test::BruteForceMatching(w, has);
    ASSERT_EQ(got.edges, best.edges) << "round " << round << ", n " << n;
    ASSERT_EQ(got.weight, best.weight) << "round " << round << ", n " << n;
  }
}

// The program itself: output format, and one line on stderr with status 1.
class WmatchProgramTest : public pairing_test::ScratchDirTest {
 protected:
  int Run(const std::string& input, std::string& out, std::string& err) {
    tools_test::WriteFile("graph.in", input);
    tools_test::ProgramResult result = tools_test::RunProgram("wmatch", "graph.in");
    out = result.out;
    err = result.err;
    return result.status;
  }
};

TEST_F(WmatchProgramTest, PrintsOneLinePerVertex) {
  std::string out, err;
  EXPECT_EQ(Run("3 1 U\n1 1 0 0\n2 -7\n1 2 0 0\n1 -7\n0 3 0 0\n", out, err), 0);
  EXPECT_EQ(out, "1 2\n2 1\n3 0\n");
  EXPECT_EQ(err, "");
}

TEST_F(WmatchProgramTest, MalformedInputIsOneLineAndStatusOne) {
  std::string out, err;
  EXPECT_EQ(Run("2 1 U\n1 1 0 0\n2 5\n", out, err), 1);
  EXPECT_EQ(out, "");
  EXPECT_NE(err.find("line 4: unexpected end of input"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
}

// A file without a size, such as a pipe, is read whole.
TEST_F(WmatchProgramTest, ReadsAPipe) {
  tools_test::WriteFile("graph.in", "3 1 U\n1 1 0 0\n2 -7\n1 2 0 0\n1 -7\n0 3 0 0\n");
  tools_test::ProgramResult result =
      tools_test::RunProgram("wmatch", "/dev/stdin", "", "cat graph.in |");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "1 2\n2 1\n3 0\n");
}

TEST_F(WmatchProgramTest, MissingFileIsStatusOne) {
  tools_test::ProgramResult result = tools_test::RunProgram("wmatch", "/nonexistent/wm.in");
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("cannot open /nonexistent/wm.in"), std::string::npos) << result.err;
}

}  // namespace
