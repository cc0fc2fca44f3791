// The matching program's input: the text format of the matching exchange
// (header "n m U", then per vertex "degree i 0 0" and one "j weight" line per
// neighbour, each edge listed under both of its ends), checked strictly.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wmatch {

// No weight beyond this can be matched exactly: the matcher raises every
// weight and works with four times the raised values.
constexpr std::int64_t kMaxWeight = std::int64_t{1} << 58;

struct Edge {
  int u = 0;  // 1-based, u < v
  int v = 0;
  std::int64_t weight = 0;
};

struct Graph {
  int vertex_count = 0;
  std::vector<Edge> edges;
};

struct ParseResult {
  bool ok = false;
  Graph graph;
  std::string error;  // "line N: what is wrong"
};

ParseResult ParseGraph(std::string_view text);

}  // namespace wmatch
